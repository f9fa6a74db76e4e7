// Whole shots through the tool: outputs checked before any work and never
// destroying an input, replaced outputs keeping what the user gave them,
// the same bytes whatever the thread count or the form of the poses, point
// caches that read back, and an interrupted run that leaves nothing behind.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "png_file.h"
#include "tool_runner.h"

namespace kestrin::test {
namespace {

namespace fs = std::filesystem;

// An n x n grid of quads in the xy plane, bent by `bend` (0: at rest) so
// that one side stretches and the other squashes. Coordinates are floats, so
// an OBJ pose and a cache frame hold the very same positions.
std::vector<float> gridPositions(int n, double bend) {
    std::vector<float> xyz;
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            const double x = i * (1.0 + bend * j / n);
            xyz.insert(xyz.end(), {static_cast<float>(x), static_cast<float>(j), static_cast<float>(bend * i * 0.1)});
        }
    }
    return xyz;
}

std::string gridObj(int n, double bend, bool faces) {
    std::ostringstream text;
    // Enough digits that the double read back is the float itself.
    text.precision(17);
    const std::vector<float> xyz = gridPositions(n, bend);
    for (size_t k = 0; k < xyz.size(); k += 3) text << "v " << xyz[k] << ' ' << xyz[k + 1] << ' ' << xyz[k + 2] << '\n';
    for (int j = 0; faces && j + 1 < n; ++j) {
        for (int i = 0; i + 1 < n; ++i) {
            const int a = j * n + i + 1;
            text << "f " << a << ' ' << a + 1 << ' ' << a + n + 1 << ' ' << a + n << '\n';
        }
    }
    return text.str();
}

void putBigEndian(std::string& out, uint32_t word) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((word >> shift) & 0xff);
}
void putLittleEndian(std::string& out, uint32_t word) {
    for (int shift = 0; shift <= 24; shift += 8) out += static_cast<char>((word >> shift) & 0xff);
}
uint32_t bits(float value) {
    uint32_t word;
    std::memcpy(&word, &value, 4);
    return word;
}

std::string mddOf(const std::vector<std::vector<float>>& frames, size_t points) {
    std::string out;
    putBigEndian(out, static_cast<uint32_t>(frames.size()));
    putBigEndian(out, static_cast<uint32_t>(points));
    for (size_t f = 0; f < frames.size(); ++f) putBigEndian(out, bits(f / 24.0f));
    for (const auto& frame : frames) {
        for (float v : frame) putBigEndian(out, bits(v));
    }
    return out;
}

std::string pc2Of(const std::vector<std::vector<float>>& frames, size_t points) {
    std::string out("POINTCACHE2", 12);
    putLittleEndian(out, 1);
    putLittleEndian(out, static_cast<uint32_t>(points));
    putLittleEndian(out, bits(0.0f));
    putLittleEndian(out, bits(1.0f));
    putLittleEndian(out, static_cast<uint32_t>(frames.size()));
    for (const auto& frame : frames) {
        for (float v : frame) putLittleEndian(out, bits(v));
    }
    return out;
}

// A shot of `poses` bends of an n x n grid, as OBJ files and as caches.
struct Shot {
    Shot(ScratchDirectory& scratch, int n, int poses) {
        writeText(scratch.file("rest.obj"), gridObj(n, 0.0, true));
        writeText(scratch.file("stretch.obj"), gridObj(n, 0.0, false));
        writeText(scratch.file("squash.obj"), gridObj(n, 0.0, false));
        std::vector<std::vector<float>> frames;
        for (int p = 0; p < poses; ++p) {
            const double bend = 0.3 * (p + 1) / poses;
            // Every other pose with points only: it takes the rest mesh's faces.
            const std::string name = "pose_" + std::to_string(p + 1) + ".obj";
            writeText(scratch.file(name), gridObj(n, bend, p % 2 == 0));
            objs.push_back(name);
            frames.push_back(gridPositions(n, bend));
        }
        writeText(scratch.file("poses.mdd"), mddOf(frames, static_cast<size_t>(n) * n));
        writeText(scratch.file("poses.pc2"), pc2Of(frames, static_cast<size_t>(n) * n));
    }
    std::vector<std::string> weights(const std::vector<std::string>& poses, const std::vector<std::string>& rest) const {
        std::vector<std::string> words = {"weights", "--rest", "rest.obj", "--pose"};
        words.insert(words.end(), poses.begin(), poses.end());
        words.insert(words.end(), rest.begin(), rest.end());
        return words;
    }
    std::vector<std::string> morph(const std::vector<std::string>& poses, const std::vector<std::string>& rest) const {
        std::vector<std::string> words = {"morph", "--rest", "rest.obj", "--stretch-target", "stretch.obj",
                                          "--squash-target", "squash.obj", "--pose"};
        words.insert(words.end(), poses.begin(), poses.end());
        words.insert(words.end(), rest.begin(), rest.end());
        return words;
    }
    std::vector<std::string> objs;
};

TEST(Shot, AnOutputThatIsAnInputOrAnotherOutputIsRefusedBeforeAnyWork) {
    ScratchDirectory scratch;
    Shot shot(scratch, 4, 1);
    fs::create_directory(scratch.path() / "sub");
    fs::create_hard_link(scratch.path() / "pose_1.obj", scratch.path() / "hard.obj");
    fs::create_symlink("rest.obj", scratch.path() / "link.obj");
    struct Case {
        std::vector<std::string> outputs;
        const char* message;
    } cases[] = {
        {{"-o", "pose_1.obj"}, "pose_1.obj: is the pose"},
        {{"-o", "sub/../pose_1.obj"}, "sub/../pose_1.obj: is the pose"},
        {{"-o", "hard.obj"}, "hard.obj: is the pose"},
        {{"-o", "link.obj"}, "link.obj: is the rest mesh"},
        {{"-o", "stretch.obj"}, "stretch.obj: is the stretch target"},
        {{"-o", "c.obj", "-o", "./c.obj"}, "./c.obj: is the same file as the output c.obj"},
        {{"--save-settings", "c.obj", "-o", "c.obj"}, "c.obj: more than one output"},
        {{"-o", "no/such/folder/c.obj"}, "no/such/folder/c.obj: cannot write: no folder"},
    };
    const std::vector<std::string> before = scratch.entries();
    const std::string pose = readText(scratch.file("pose_1.obj"));
    for (const Case& c : cases) {
        const ToolRun run = runTool(shot.morph(shot.objs, c.outputs), scratch.path());
        EXPECT_EQ(run.exitCode, 1) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.err.rfind("kestrin: error: ", 0), 0u) << run.err;
        EXPECT_EQ(scratch.entries(), before) << c.message;
    }
    EXPECT_EQ(readText(scratch.file("pose_1.obj")), pose);
}

TEST(Shot, ReplacedOutputsKeepTheirPermissionsAndLinksAndReadOnlyOnesAreKept) {
    ScratchDirectory scratch;
    Shot shot(scratch, 4, 1);
    writeText(scratch.file("private.csv"), "old\n");
    chmod(scratch.file("private.csv").c_str(), 0600);
    writeText(scratch.file("target.csv"), "old\n");
    fs::create_symlink("target.csv", scratch.path() / "link.csv");
    ASSERT_EQ(runTool(shot.weights(shot.objs, {"-o", "private.csv", "-o", "link.csv"}), scratch.path()).exitCode, 0);
    struct stat info {};
    ASSERT_EQ(stat(scratch.file("private.csv").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_TRUE(fs::is_symlink(scratch.path() / "link.csv"));
    EXPECT_EQ(readText(scratch.file("target.csv")).substr(0, 12), "point,weight");

    writeText(scratch.file("kept.csv"), "old\n");
    chmod(scratch.file("kept.csv").c_str(), 0444);
    const ToolRun refused = runTool(shot.weights(shot.objs, {"-o", "kept.csv"}), scratch.path());
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("kept.csv: is read-only"), std::string::npos) << refused.err;
    EXPECT_EQ(readText(scratch.file("kept.csv")), "old\n");
}

// Threads change nothing, nor does the form the poses come in; a corrected
// shot written as a cache reads back to the corrected OBJ files.
TEST(Shot, SameBytesWhateverTheJobsOrThePoseFormAndCachesReadBack) {
    ScratchDirectory scratch;
    Shot shot(scratch, 12, 5);
    for (const char* jobs : {"1", "2", "4"}) {
        const std::string out = std::string("w") + jobs + "_%04d.csv";
        const ToolRun run = runTool(shot.weights(shot.objs, {"--jobs", jobs, "-o", out, "-o", std::string("w") + jobs + ".npy"}), scratch.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
    }
    for (int pose = 1; pose <= 5; ++pose) {
        char name[32];
        std::snprintf(name, sizeof name, "_%04d.csv", pose);
        const std::string one = readText(scratch.file(std::string("w1") + name));
        EXPECT_EQ(readText(scratch.file(std::string("w2") + name)), one);
        EXPECT_EQ(readText(scratch.file(std::string("w4") + name)), one);
    }
    EXPECT_EQ(readText(scratch.file("w2.npy")), readText(scratch.file("w1.npy")));
    for (const char* cache : {"poses.mdd", "poses.pc2"}) {
        const ToolRun run = runTool(shot.weights({cache}, {"-o", "cache.npy"}), scratch.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(readText(scratch.file("cache.npy")), readText(scratch.file("w1.npy"))) << cache;
    }
    // Frames 2-3 of the cache carry their frame numbers.
    ASSERT_EQ(runTool(shot.weights({"poses.mdd"}, {"--frames", "2-3", "-o", "part_%04d.csv"}), scratch.path()).exitCode, 0);
    EXPECT_EQ(readText(scratch.file("part_0003.csv")), readText(scratch.file("w1_0003.csv")));
    EXPECT_FALSE(fs::exists(scratch.path() / "part_0001.csv"));

    const ToolRun morph = runTool(shot.morph(shot.objs, {"-o", "c_%04d.obj", "-o", "c.mdd", "-o", "c.pc2"}), scratch.path());
    ASSERT_EQ(morph.exitCode, 0) << morph.err;
    const std::string mdd = readText(scratch.file("c.mdd"));
    const std::string pc2 = readText(scratch.file("c.pc2"));
    const size_t points = 144;
    ASSERT_EQ(mdd.size(), 8 + 5 * 4 + 5 * points * 12);
    ASSERT_EQ(pc2.size(), 32 + 5 * points * 12);
    auto bigEndian = [&](size_t at) {
        uint32_t word = 0;
        for (int k = 0; k < 4; ++k) word = word << 8 | static_cast<unsigned char>(mdd[at + k]);
        float value;
        std::memcpy(&value, &word, 4);
        return value;
    };
    auto littleEndian = [&](size_t at) {
        float value;
        std::memcpy(&value, pc2.data() + at, 4);
        return value;
    };
    for (int pose = 0; pose < 5; ++pose) {
        char name[32];
        std::snprintf(name, sizeof name, "c_%04d.obj", pose + 1);
        std::istringstream obj(readText(scratch.file(name)));
        std::string line;
        size_t point = 0;
        while (std::getline(obj, line)) {
            if (line.rfind("v ", 0) != 0) continue;
            std::istringstream fields(line.substr(2));
            double xyz[3];
            fields >> xyz[0] >> xyz[1] >> xyz[2];
            for (int k = 0; k < 3; ++k) {
                const size_t index = (pose * points + point) * 12 + 4 * k;
                EXPECT_EQ(bigEndian(28 + index), static_cast<float>(xyz[k]));
                EXPECT_EQ(littleEndian(32 + index), static_cast<float>(xyz[k]));
            }
            ++point;
        }
        EXPECT_EQ(point, points);
    }
}

float littleEndianFloat(const std::string& bytes, size_t at) {
    float value;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}
float bigEndianFloat(const std::string& bytes, size_t at) {
    uint32_t word = 0;
    for (int k = 0; k < 4; ++k) word = word << 8 | static_cast<unsigned char>(bytes[at + k]);
    float value;
    std::memcpy(&value, &word, 4);
    return value;
}

// The shot page's index of frames.
nlohmann::json pageIndex(const std::string& path) {
    const std::string page = readText(path);
    const std::string opening = "<script type=\"application/json\" id=\"kestrin-shot\">";
    const size_t start = page.find(opening) + opening.size();
    return nlohmann::json::parse(page.substr(start, page.find("</script>", start) - start));
}

// The largest weight of a weights .csv file.
float largestWeight(const std::string& path) {
    const std::string text = readText(path);
    float largest = -INFINITY;
    for (size_t comma = text.find(',', 13); comma != std::string::npos; comma = text.find(',', comma + 1)) {
        largest = std::max(largest, std::strtof(text.c_str() + comma + 1, nullptr));
    }
    return largest;
}

// The rows of the table a run prints: frame number and pose file.
std::vector<std::pair<int, std::string>> tableRows(const std::string& out) {
    std::vector<std::pair<int, std::string>> rows;
    std::istringstream lines(out);
    std::string line;
    std::getline(lines, line);  // the header
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        int frame = 0;
        std::string pose;
        fields >> frame >> pose;
        rows.emplace_back(frame, pose);
    }
    return rows;
}

// Two chunks of a shot, each with whole-shot outputs named with a frame
// field, write their own files, named by their first frame; the page of the
// second shows the shot's frames 3 to 5.
TEST(Shot, ChunksNameTheirWholeShotFilesByTheirFrames) {
    ScratchDirectory scratch;
    Shot shot(scratch, 4, 5);
    std::vector<std::string> outputs = {"-o", "w_%04d.npy", "-o", "m_####.glb", "-o", "s_####.html"};
#ifdef KESTRIN_WITH_OPENEXR
    outputs.insert(outputs.end(), {"-o", "t_####.exr"});
#endif
    for (const char* frames : {"1-2", "3-5"}) {
        std::vector<std::string> arguments = {"--frames", frames};
        arguments.insert(arguments.end(), outputs.begin(), outputs.end());
        const ToolRun run = runTool(shot.weights({"poses.pc2"}, arguments), scratch.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
    }
    for (const char* name : {"w_0001.npy", "w_0003.npy", "m_0001.glb", "m_0003.glb", "s_0001.html", "s_0003.html"}) {
        EXPECT_TRUE(fs::exists(scratch.path() / name)) << name;
    }
#ifdef KESTRIN_WITH_OPENEXR
    EXPECT_TRUE(fs::exists(scratch.path() / "t_0001.exr"));
    EXPECT_TRUE(fs::exists(scratch.path() / "t_0003.exr"));
#endif
    const nlohmann::json frames = pageIndex(scratch.file("s_0003.html"))["frames"];
    ASSERT_EQ(frames.size(), 3u);
    for (int f = 0; f < 3; ++f) EXPECT_EQ(frames[f]["frame"], 3 + f);
    // The second chunk's weights are frames 3 to 5 of the whole shot's.
    ASSERT_EQ(runTool(shot.weights({"poses.pc2"}, {"-o", "all.npy"}), scratch.path()).exitCode, 0);
    const std::string all = readText(scratch.file("all.npy")), chunk = readText(scratch.file("w_0003.npy"));
    const size_t row = 16 * 4, header = all.size() - 5 * row;
    EXPECT_EQ(chunk.substr(chunk.size() - 3 * row), all.substr(header + 2 * row));
}

// Pose files whose names all carry a different number are taken in that
// number's order, as Blender numbers a sequence (unpadded, from frame 0),
// and numbered by it; any other list keeps the order given, from 1. The
// table says which frame each file became, and the files carry it (what
// they hold: the next test).
TEST(Shot, PoseFilesAreTakenInTheOrderOfTheirNumbers) {
    struct Case {
        std::vector<std::string> given;  // as a shell lists them
        std::vector<std::pair<int, std::string>> frames;
    };
    const Case cases[] = {
        {{"arm0.obj", "arm1.obj", "arm10.obj", "arm11.obj", "arm2.obj"},
         {{0, "arm0.obj"}, {1, "arm1.obj"}, {2, "arm2.obj"}, {10, "arm10.obj"}, {11, "arm11.obj"}}},
        {{"shot_v2_0012.obj", "shot_v2_0009.obj"}, {{9, "shot_v2_0009.obj"}, {12, "shot_v2_0012.obj"}}},
        {{"b3.obj", "a3.obj"}, {{1, "b3.obj"}, {2, "a3.obj"}}},  // one number twice
        {{"arm7.obj", "rest_pose.obj"}, {{1, "arm7.obj"}, {2, "rest_pose.obj"}}},  // one without
    };
    for (const Case& c : cases) {
        ScratchDirectory scratch;
        writeText(scratch.file("rest.obj"), gridObj(4, 0.0, true));
        for (size_t i = 0; i < c.given.size(); ++i) writeText(scratch.file(c.given[i]), gridObj(4, 0.1 * (i + 1), false));
        std::vector<std::string> arguments = {"weights", "--rest", "rest.obj", "--pose"};
        arguments.insert(arguments.end(), c.given.begin(), c.given.end());
        arguments.insert(arguments.end(), {"-o", "w_#.csv"});
        const ToolRun run = runTool(arguments, scratch.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(tableRows(run.out), c.frames) << run.out;
        for (const auto& frame : c.frames) {
            EXPECT_TRUE(fs::exists(scratch.path() / ("w_" + std::to_string(frame.first) + ".csv"))) << frame.second;
        }
    }
}

// Blender's own names for a sequence from frame 0, given in the shell's
// order (arm0, arm1, arm10, ... arm19, arm2, arm20, ...): output N holds the
// weights of arm N, --frames picks by those numbers, and point caches start
// at frame 0, a frame apart.
TEST(Shot, BlenderNamedSequenceGivesFrameNInOutputN) {
    ScratchDirectory scratch;
    writeText(scratch.file("rest.obj"), gridObj(4, 0.0, true));
    writeText(scratch.file("stretch.obj"), gridObj(4, 0.0, false));
    std::vector<std::string> names;
    for (int n = 0; n <= 30; ++n) {
        names.push_back("arm" + std::to_string(n) + ".obj");
        writeText(scratch.file(names.back()), gridObj(4, 0.01 * n, false));
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> arguments = {"weights", "--rest", "rest.obj", "--pose"};
    arguments.insert(arguments.end(), names.begin(), names.end());
    arguments.insert(arguments.end(), {"-o", "w_####.csv"});
    ASSERT_EQ(runTool(arguments, scratch.path()).exitCode, 0);
    // Each pose bends further than the one before: the largest weight grows
    // with the frame, file after file.
    float before = -1.0f;
    for (int n = 0; n <= 30; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "w_%04d.csv", n);
        ASSERT_TRUE(fs::exists(scratch.path() / name)) << name;
        const float largest = largestWeight(scratch.file(name));
        EXPECT_GT(largest, before) << name;
        before = largest;
    }
    arguments[0] = "morph";
    arguments.insert(arguments.begin() + 1, {"--stretch-target", "stretch.obj", "--squash-target", "rest.obj",
                                              "--frames", "0-2"});
    arguments.back() = "c.pc2";
    arguments.insert(arguments.end(), {"-o", "c.mdd", "-o", "c_#.obj"});
    const ToolRun morph = runTool(arguments, scratch.path());
    ASSERT_EQ(morph.exitCode, 0) << morph.err;
    EXPECT_EQ(tableRows(morph.out), (std::vector<std::pair<int, std::string>>{{0, "arm0.obj"}, {1, "arm1.obj"}, {2, "arm2.obj"}}));
    EXPECT_TRUE(fs::exists(scratch.path() / "c_0.obj"));
    EXPECT_FALSE(fs::exists(scratch.path() / "c_3.obj"));
    const std::string pc2 = readText(scratch.file("c.pc2")), mdd = readText(scratch.file("c.mdd"));
    EXPECT_EQ(littleEndianFloat(pc2, 20), 0.0f);  // start frame
    EXPECT_EQ(littleEndianFloat(pc2, 24), 1.0f);  // frames per sample
    for (int f = 0; f < 3; ++f) EXPECT_EQ(bigEndianFloat(mdd, 8 + 4 * f), static_cast<float>(f / 24.0)) << f;
}

// A PC2 cache written from a cache carries the input's timing, in whole
// frames a frame apart where the input's times are (an MDD's float seconds
// put frame 2 at 2.0000002).
TEST(Shot, CachesWrittenFromCachesKeepTheirFrames) {
    ScratchDirectory scratch;
    Shot shot(scratch, 4, 5);
    for (const char* input : {"poses.mdd", "poses.pc2"}) {
        const ToolRun run = runTool(shot.morph({input}, {"--frames", "3-5", "-o", "c.pc2", "-o", "c.mdd"}), scratch.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::string pc2 = readText(scratch.file("c.pc2")), mdd = readText(scratch.file("c.mdd"));
        EXPECT_EQ(littleEndianFloat(pc2, 20), 2.0f) << input;  // frame 3 of a shot from 0
        EXPECT_EQ(littleEndianFloat(pc2, 24), 1.0f) << input;
        for (int f = 0; f < 3; ++f) EXPECT_EQ(bigEndianFloat(mdd, 8 + 4 * f), (f + 2) / 24.0f) << input << " " << f;
    }
}

// Inputs read once: a rest mesh exported again while the run goes (a named
// pipe serving another mesh at its next opening) and poses and caches that
// can be read only once (a pipe serving nothing at its next opening), with
// outputs that need them twice if read by name: pictures framed on every
// pose, the engine mesh's UVs.
TEST(Shot, EveryInputIsReadOnce) {
    ScratchDirectory scratch;
    std::string restWithUvs = gridObj(3, 0.0, false);
    for (int i = 0; i < 9; ++i) restWithUvs += "vt " + std::to_string(i % 3 / 2.0) + " " + std::to_string(i / 3 / 2.0) + "\n";
    for (int j = 0; j < 2; ++j) {
        for (int i = 0; i < 2; ++i) {
            const int a = j * 3 + i + 1;
            restWithUvs += "f " + std::to_string(a) + "/" + std::to_string(a) + " " + std::to_string(a + 1) + "/" +
                           std::to_string(a + 1) + " " + std::to_string(a + 4) + "/" + std::to_string(a + 4) + " " +
                           std::to_string(a + 3) + "/" + std::to_string(a + 3) + "\n";
        }
    }
    const std::string another = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1 2/1 3/1\n";
    test::FifoServer rest(scratch.file("rest.obj"), {restWithUvs, another});
    test::FifoServer first(scratch.file("first.obj"), {gridObj(3, 0.1, false), ""});
    test::FifoServer second(scratch.file("second.obj"), {gridObj(3, 0.2, false), ""});
    const ToolRun run = runTool({"weights", "--rest", "rest.obj", "--pose", "first.obj", "second.obj", "-o", "p.png",
                                 "-o", "m.glb"},
                                scratch.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(rest.served(), 1u);
    EXPECT_TRUE(fs::exists(scratch.path() / "p_0001.png"));
    EXPECT_TRUE(fs::exists(scratch.path() / "p_0002.png"));
    const std::string glb = readText(scratch.file("m.glb"));
    uint32_t jsonLength = 0;
    std::memcpy(&jsonLength, glb.data() + 12, 4);
    const nlohmann::json mesh = nlohmann::json::parse(glb.substr(20, jsonLength));
    const int uvs = mesh["meshes"][0]["primitives"][0]["attributes"]["TEXCOORD_0"];
    EXPECT_EQ(mesh["accessors"][uvs]["count"], 9) << "the rest mesh's nine UVs";

    writeText(scratch.file("plain.obj"), gridObj(3, 0.0, true));
    std::vector<std::vector<float>> frames = {gridPositions(3, 0.1), gridPositions(3, 0.2)};
    // A cache through a pipe has no name to go by ("/dev/fd/63"): its bytes tell.
    test::FifoServer cache(scratch.file("cache"), {mddOf(frames, 9), ""});
    const ToolRun fromCache = runTool({"weights", "--rest", "plain.obj", "--pose", "cache", "-o", "q.png"}, scratch.path());
    ASSERT_EQ(fromCache.exitCode, 0) << fromCache.err;
    EXPECT_TRUE(fs::exists(scratch.path() / "q_0002.png"));
}

size_t meshPixels(const std::string& png) {
    const RgbImage image = readPng(png);
    size_t count = 0;
    // The mesh area only, not the legend at the right.
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width * 3 / 4; ++x) {
            const unsigned char* p = image.rgb.data() + 3 * (size_t(y) * image.width + x);
            count += !(p[0] == p[1] && p[1] == p[2] && p[0] >= 230);
        }
    }
    return count;
}

// The pictures of a sequence share one framing: a pose twice the size of
// another covers about four times the pixels, not the same.
TEST(Shot, PicturesOfASequenceShareOneFraming) {
    ScratchDirectory scratch;
    std::string large;
    std::istringstream grid(gridObj(8, 0.0, true));
    for (std::string line; std::getline(grid, line);) {
        if (line.rfind("v ", 0) == 0) {
            std::istringstream fields(line.substr(2));
            double x, y, z;
            fields >> x >> y >> z;
            large += "v " + std::to_string(2 * x) + " " + std::to_string(2 * y) + " " + std::to_string(2 * z) + "\n";
        }
    }
    writeText(scratch.file("rest.obj"), gridObj(8, 0.0, true));
    writeText(scratch.file("large.obj"), large);
    const ToolRun run = runTool({"weights", "--rest", "rest.obj", "--pose", "rest.obj", "large.obj", "-o", "p.png"},
                                scratch.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const double ratio = double(meshPixels(scratch.file("p_0002.png"))) / double(meshPixels(scratch.file("p_0001.png")));
    EXPECT_GT(ratio, 3.0);
    EXPECT_LT(ratio, 5.0);
}

// Ctrl-C part way: exit 130, no temporary file, the earlier output intact.
TEST(Shot, AnInterruptedRunLeavesNoTemporaryFileAndEveryEarlierOutput) {
    ScratchDirectory scratch;
    std::vector<std::vector<float>> frames(400, gridPositions(40, 0.2));
    writeText(scratch.file("rest.obj"), gridObj(40, 0.0, true));
    writeText(scratch.file("long.mdd"), mddOf(frames, 1600));
    writeText(scratch.file("w_0001.png"), "old\n");
    const pid_t child = startTool({"weights", "--rest", "rest.obj", "--pose", "long.mdd", "-o", "w_%04d.png",
                                   "-o", "w.npy"},
                                  scratch.path());
    // Once it is writing, interrupt it.
    bool writing = false;
    for (int wait = 0; wait < 2000 && !writing; ++wait) {
        usleep(5000);
        for (const auto& entry : fs::directory_iterator(scratch.path())) {
            writing = writing || entry.path().filename().string().find(".tmp-") != std::string::npos;
        }
    }
    ASSERT_TRUE(writing) << "the run never wrote";
    kill(child, SIGINT);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_EQ(scratch.entries(), (std::vector<std::string>{"long.mdd", "rest.obj", "w_0001.png"}));
    EXPECT_EQ(readText(scratch.file("w_0001.png")), "old\n");
}

}  // namespace
}  // namespace kestrin::test
