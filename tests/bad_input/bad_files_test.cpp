// Every malformed file of tests/data/bad, read by the kestrin tool in the place
// its line of cases.tsv names: the tool must refuse it with a message that
// names the file (and the line, where the case says so), exit with its error
// code rather than crash, and leave no output behind. A file that is sound
// apart from Windows line ends is no fault: it reads as the same mesh.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "reliability_counts.h"
#include "tool_runner.h"

namespace kestrin::test {
namespace {

namespace fs = std::filesystem;

const fs::path dataDirectory = KESTRIN_TEST_DATA;
const fs::path badDirectory = dataDirectory / "bad";

struct BadFile {
    std::string file;
    std::string role;
    std::string expected;  // besides the file name; may be empty
};

std::vector<BadFile> readCases() {
    std::vector<BadFile> cases;
    std::ifstream list(badDirectory / "cases.tsv");
    std::string line;
    while (std::getline(list, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        BadFile c;
        std::getline(fields, c.file, '\t');
        std::getline(fields, c.role, '\t');
        std::getline(fields, c.expected, '\t');
        cases.push_back(c);
    }
    return cases;
}

// The command that reads `bad` in the case's role; everything else is the
// sound box mesh. Outputs go to out.* in the working directory.
std::vector<std::string> commandFor(const BadFile& c, const std::string& bad) {
    const std::string box = "box.obj";
    if (c.role == "rest") return {"weights", "--rest", bad, "--pose", box, "-o", "out.csv"};
    if (c.role == "pose") return {"weights", "--rest", box, "--pose", box, bad, "-o", "out.csv"};
    if (c.role == "settings") {
        return {"weights", "--rest", box, "--pose", box, "--settings", bad,
                "--save-settings", "saved.json", "-o", "out.csv", "out.ply"};
    }
    std::vector<std::string> morph = {"morph", "--rest", box, "--pose", box, "-o", "out.obj"};
    const std::string stretch = c.role == "stretch" ? bad : box;
    const std::string squash = c.role == "squash" ? bad : box;
    morph.insert(morph.end(), {"--stretch-target", stretch, "--squash-target", squash});
    if (c.role == "morph-settings") morph.insert(morph.end(), {"--settings", bad});
    if (c.role == "weightmap") morph.insert(morph.end(), {"--weight-map", bad});
    return morph;
}

TEST(BadFiles, EachIsRefusedByNameWithNoOutputLeft) {
    const std::vector<BadFile> cases = readCases();
    ASSERT_GE(cases.size(), 40u);
    int files = 0;
    for (const BadFile& c : cases) {
        SCOPED_TRACE(c.file + " as " + c.role);
        ASSERT_TRUE(fs::exists(badDirectory / c.file));
        ScratchDirectory scratch;
        fs::copy_file(dataDirectory / "box.obj", scratch.path() / "box.obj");
        fs::copy_file(badDirectory / c.file, scratch.path() / c.file);
        const std::vector<std::string> before = scratch.entries();

        const ToolRun run = runTool(commandFor(c, c.file), scratch.path());
        ++files;
        // 1 is the tool's own error; a signal or an uncaught exception is
        // no clear error.
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_NE(run.err.find("error"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.file), std::string::npos) << "the message does not name the file:\n"
                                                          << run.err;
        if (!c.expected.empty()) {
            EXPECT_NE(run.err.find(c.expected), std::string::npos) << run.err;
        }
        EXPECT_EQ(run.err.find("terminate"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one error line:\n" << run.err;
        EXPECT_EQ(scratch.entries(), before) << run.err;
    }
    recordCount("malformed files tried", files);
}

std::string withCrlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// Windows line ends alone: the same mesh, the same weights and corrected
// shape as the file with plain line ends; the corrected OBJ keeps the pose
// file's line ends.
TEST(BadFiles, CrlfLineEndsReadAsTheSameMesh) {
    ScratchDirectory scratch;
    const std::string box = readText((dataDirectory / "box.obj").string());
    writeText(scratch.file("box.obj"), box);
    writeText(scratch.file("box_crlf.obj"), withCrlf(box));
    // The pose stretches the box along x so the weights are not all zero.
    std::string pose;
    std::istringstream lines(box);
    std::string line;
    while (std::getline(lines, line)) {
        double x, y, z;
        if (std::sscanf(line.c_str(), "v %lf %lf %lf", &x, &y, &z) == 3) {
            pose += "v " + std::to_string(1.5 * x) + " " + std::to_string(y) + " " + std::to_string(z) + "\n";
        } else {
            pose += line + "\n";
        }
    }
    writeText(scratch.file("pose.obj"), pose);
    writeText(scratch.file("pose_crlf.obj"), withCrlf(pose));

    const ToolRun plain = runTool({"weights", "--rest", "box.obj", "--pose", "pose.obj", "-o", "plain.csv"},
                                  scratch.path());
    const ToolRun crlf = runTool(
        {"weights", "--rest", "box_crlf.obj", "--pose", "pose_crlf.obj", "-o", "crlf.csv"}, scratch.path());
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    ASSERT_EQ(crlf.exitCode, 0) << crlf.err;
    EXPECT_EQ(readText(scratch.file("crlf.csv")), readText(scratch.file("plain.csv")));

    const ToolRun morphCrlf =
        runTool({"morph", "--rest", "box_crlf.obj", "--pose", "pose_crlf.obj", "--stretch-target",
                 "pose_crlf.obj", "--squash-target", "box_crlf.obj", "-o", "crlf.obj"},
                scratch.path());
    const ToolRun morphPlain =
        runTool({"morph", "--rest", "box.obj", "--pose", "pose.obj", "--stretch-target", "pose.obj",
                 "--squash-target", "box.obj", "-o", "plain.obj"},
                scratch.path());
    ASSERT_EQ(morphCrlf.exitCode, 0) << morphCrlf.err;
    ASSERT_EQ(morphPlain.exitCode, 0) << morphPlain.err;
    EXPECT_EQ(readText(scratch.file("crlf.obj")), withCrlf(readText(scratch.file("plain.obj"))));
}

}  // namespace
}  // namespace kestrin::test
