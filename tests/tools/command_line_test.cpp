// The kestrin binary end to end: bad input is refused with a message naming
// the file and leaves no output; real meshes give the weights and corrected
// shapes the plug-ins define.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

#include "weights/csv_reader.h"
#include "mesh/obj_reader.h"
#include "mesh/obj_writer.h"
#include "mesh/mesh_data.h"
#include "tool_runner.h"

namespace kestrin::tool {
namespace {

using test::readText;
using test::runTool;
using test::ScratchDirectory;
using test::writeText;

const std::string spiderPath = KESTRIN_TEST_DATA "/spider.obj";

// 3---2
// | \ |   the rest square; poses and targets are written beside it
// 0---1
const char* const squareObj = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3\nf 1 3 4\n";

formats::MeshData transformed(const formats::MeshData& mesh, const std::function<Point3(const Point3&)>& move) {
    std::vector<Point3> points;
    for (const Point3& p : mesh.points) points.push_back(move(p));
    return formats::withPositions(mesh, points);
}

struct Normal {
    double x = 0.0, y = 0.0, z = 0.0;
    double operator*(const Normal& other) const { return x * other.x + y * other.y + z * other.z; }
};

// Newell's normal of polygon `face`, unnormalised.
Normal polygonNormal(const formats::MeshData& mesh, size_t face) {
    const int32_t* corners = mesh.polygons.begin(face);
    const size_t count = mesh.polygons.count(face);
    Normal n;
    for (size_t i = 0; i < count; ++i) {
        const Point3& a = mesh.points[corners[i]];
        const Point3& b = mesh.points[corners[(i + 1) % count]];
        n.x += (a.y - b.y) * (a.z + b.z);
        n.y += (a.z - b.z) * (a.x + b.x);
        n.z += (a.x - b.x) * (a.y + b.y);
    }
    return n;
}

void writeObj(const std::string& path, const formats::MeshData& mesh) { writeText(path, formats::meshObj(mesh)); }

struct BadRun {
    const char* name;
    // Files to create in the scratch directory: name, contents.
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::string> arguments;
    const char* message;  // must appear on standard error
};

class RefusedInput : public testing::TestWithParam<BadRun> {};

TEST_P(RefusedInput, ExitsNonZeroWithAMessageAndWritesNothing) {
    ScratchDirectory scratch;
    for (const auto& [name, text] : GetParam().files) writeText(scratch.file(name), text);
    const std::vector<std::string> before = scratch.entries();
    const test::ToolRun run = runTool(GetParam().arguments, scratch.path());
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
    // One error line, whatever the names and bytes in it; a bad command line
    // adds one pointing at the help.
    EXPECT_EQ(run.err.rfind("kestrin: error: ", 0), 0u) << run.err;
    const std::string after = run.err.substr(run.err.find('\n') + 1);
    EXPECT_TRUE(after.empty() || (run.exitCode == 2 && after.rfind("Run 'kestrin help", 0) == 0)) << run.err;
    EXPECT_EQ(scratch.entries(), before) << run.err;
}

const std::string pyramid = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3\nf 1 3 4 2\n";
const std::string empty = "";

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedInput,
    testing::Values(
        BadRun{"MissingRest", {{"pose.obj", squareObj}},
               {"weights", "--rest", "rest.obj", "--pose", "pose.obj", "-o", "out.csv"},
               "rest.obj: cannot read the rest mesh: No such file or directory"},
        BadRun{"MalformedPoseLine", {{"rest.obj", squareObj}, {"pose.obj", "v 0 0 0\nv 1 zero 0\n"}},
               {"weights", "--rest", "rest.obj", "--pose", "pose.obj", "-o", "out.csv"},
               "pose.obj:2: 'zero' is not a number"},
        BadRun{"FaceIndexOutOfRange", {{"rest.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 9\n"}, {"pose.obj", squareObj}},
               {"weights", "--rest", "rest.obj", "--pose", "pose.obj", "-o", "out.csv"},
               "rest.obj:4: face index 9 is out of range"},
        BadRun{"NonFiniteCoordinate", {{"rest.obj", squareObj}, {"pose.obj", "v 0 0 inf\n"}},
               {"weights", "--rest", "rest.obj", "--pose", "pose.obj", "-o", "out.csv"},
               "pose.obj:1: coordinate 'inf' is not a finite number"},
        BadRun{"PosePointCount", {{"rest.obj", squareObj}, {"pose.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\n"}},
               {"weights", "--rest", "rest.obj", "--pose", "pose.obj", "-o", "out.csv"},
               "pose.obj: the pose has 3 points but the rest mesh rest.obj has 4"},
        BadRun{"PoseFaces", {{"rest.obj", squareObj}, {"pose.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 4\nf 2 3 4\n"}},
               {"weights", "--rest", "rest.obj", "--pose", "pose.obj", "-o", "out.csv"},
               "pose.obj:5: face 1 of the pose differs from face 1 of the rest mesh rest.obj"},
        BadRun{"SecondPoseBadFirstNotWritten", {{"rest.obj", squareObj}, {"a.obj", squareObj}, {"b.obj", "v 1\n"}},
               {"weights", "--rest", "rest.obj", "--pose", "a.obj", "b.obj", "-o", "out.csv"},
               "b.obj:1:"},
        BadRun{"TargetPointCount", {{"rest.obj", squareObj}, {"pose.obj", squareObj}, {"t.obj", "v 0 0 0\n"}},
               {"morph", "--rest", "rest.obj", "--pose", "pose.obj", "--stretch-target", "t.obj",
                "--squash-target", "rest.obj", "-o", "out.obj"},
               "t.obj: the stretch target has 1 points"},
        BadRun{"WeightMapRow", {{"rest.obj", squareObj}, {"w.csv", "point,weight\n0,1\n1,x\n"}},
               {"morph", "--rest", "rest.obj", "--pose", "rest.obj", "--stretch-target", "rest.obj",
                "--squash-target", "rest.obj", "--weight-map", "w.csv", "-o", "out.obj"},
               "w.csv:3: 'x' is not a number"},
        BadRun{"WeightMapBeyondOne", {{"rest.obj", squareObj}, {"w.csv", "point,weight\n0,1\n1,1.5\n2,0\n3,0\n"}},
               {"morph", "--rest", "rest.obj", "--pose", "rest.obj", "--stretch-target", "rest.obj",
                "--squash-target", "rest.obj", "--weight-map", "w.csv", "-o", "out.obj"},
               "w.csv: point 1: weight 1.5 is outside 0 to 1"},
        // The value shown is the value refused, not one rounded to 0.
        BadRun{"WeightMapBelowZeroByAHair", {{"rest.obj", squareObj}, {"w.csv", "point,weight\n0,1\n1,-9.65e-12\n2,0\n3,0\n"}},
               {"morph", "--rest", "rest.obj", "--pose", "rest.obj", "--stretch-target", "rest.obj",
                "--squash-target", "rest.obj", "--weight-map", "w.csv", "-o", "out.obj"},
               "w.csv: point 1: weight -9.65e-12 is outside 0 to 1"},
        // A file's bytes and a name's are shown escaped, on the one line.
        BadRun{"WeightMapBytesEscaped", {{"rest.obj", squareObj}, {"w.csv", "point,weight\n0,\x1b[2J\xff\n"}},
               {"morph", "--rest", "rest.obj", "--pose", "rest.obj", "--stretch-target", "rest.obj",
                "--squash-target", "rest.obj", "--weight-map", "w.csv", "-o", "out.obj"},
               "w.csv:2: '\\x1b[2J\\xff' is not a number"},
        BadRun{"NulInAPointLine", {{"rest.obj", squareObj}, {"pose.obj", std::string("v 0 0 0\0\n", 9)}},
               {"weights", "--rest", "rest.obj", "--pose", "pose.obj", "-o", "out.csv"},
               "pose.obj:1: '0\\x00' is not a number"},
        BadRun{"NewlineInAPath", {{"rest.obj", squareObj}, {"a\nb.obj", "v 0 0 0\n"}},
               {"weights", "--rest", "rest.obj", "--pose", "a\nb.obj", "-o", "out.csv"},
               "a\\nb.obj: the pose has 1 points"},
        // A pose of another mesh: its point count, not its first face.
        BadRun{"PoseOfAnotherMesh", {{"rest.obj", squareObj}, {"pose.obj", pyramid + "v 0 0 1\nf 5 1 2\n"}},
               {"weights", "--rest", "rest.obj", "--pose", "pose.obj", "-o", "out.csv"},
               "pose.obj: the pose has 5 points but the rest mesh rest.obj has 4"},
        // Other formats, by name and by their first bytes.
        BadRun{"AlembicPose", {{"rest.obj", squareObj}, {"shot.abc", squareObj}},
               {"weights", "--rest", "rest.obj", "--pose", "shot.abc", "-o", "out.csv"},
               "shot.abc: is an Alembic archive (by its name), which kestrin does not read"},
        BadRun{"FbxRest", {{"rest.obj", std::string("Kaydara FBX Binary  \0\x1a\0", 23)}, {"pose.obj", squareObj}},
               {"weights", "--rest", "rest.obj", "--pose", "pose.obj", "-o", "out.csv"},
               "rest.obj: is an FBX file (by its first bytes)"},
        BadRun{"BlenderTarget", {{"rest.obj", squareObj}, {"t.blend", "BLENDER-v402RENDH"}},
               {"morph", "--rest", "rest.obj", "--pose", "rest.obj", "--stretch-target", "t.blend",
                "--squash-target", "rest.obj", "-o", "out.obj"},
               "t.blend: is a Blender file"},
        BadRun{"EmptyCache", {{"rest.obj", squareObj}, {"z.mdd", std::string("\0\0\0\0\0\0\0\4", 8)}},
               {"weights", "--rest", "rest.obj", "--pose", "z.mdd", "-o", "out.csv"},
               "kestrin: error: z.mdd: the cache holds no frames\n"},
        BadRun{"EmptyFrames", {{"rest.obj", squareObj}},
               {"weights", "--rest", "rest.obj", "--pose", "rest.obj", "--frames", "", "-o", "out.csv"},
               "--frames '': empty"},
        BadRun{"ReversedFrames", {{"rest.obj", squareObj}},
               {"weights", "--rest", "rest.obj", "--pose", "rest.obj", "--frames", "3-0", "-o", "out.csv"},
               "--frames '3-0': the last frame is before the first"},
        BadRun{"FramesBeyondTheShot", {{"rest.obj", squareObj}, {"p1.obj", squareObj}, {"p2.obj", squareObj}},
               {"weights", "--rest", "rest.obj", "--pose", "p1.obj", "p2.obj", "--frames", "2-3", "-o", "out.csv"},
               "--frames 2-3: the poses have frames 1-2"},
        BadRun{"OutputGivenTwice", {{"rest.obj", squareObj}},
               {"weights", "--rest", "rest.obj", "--pose", "rest.obj", "-o", "a.npy", "-o", "a.npy"},
               "a.npy: more than one output would be written to this file (-o a.npy is given twice)"},
        BadRun{"TwoOutputsOneName", {{"rest.obj", squareObj}, {"p1.obj", squareObj}, {"p2.obj", squareObj}},
               {"weights", "--rest", "rest.obj", "--pose", "p1.obj", "p2.obj", "-o", "w.csv", "-o", "w_%04d.csv"},
               "w_0001.csv: more than one output would be written to this file (by -o w.csv and by -o w_%04d.csv)"},
        BadRun{"UvNotFinite", {{"rest.obj", std::string(squareObj) + "vt 0 0\nvt nan 0\n"}},
               {"weights", "--rest", "rest.obj", "--pose", "rest.obj", "-o", "m.glb"},
               "rest.obj:8: texture coordinate 'nan' is not a finite number"},
        BadRun{"UvBeyondAFloat", {{"rest.obj", std::string(squareObj) + "vt 0 1e39\n"}},
               {"weights", "--rest", "rest.obj", "--pose", "rest.obj", "-o", "m.glb"},
               "rest.obj:7: texture coordinate '1e39' is too large for a float"},
        // A PC2 cache has one step between frames; poses 1, 2 and 5 have none.
        BadRun{"Pc2OfUnevenFrames", {{"rest.obj", squareObj}, {"p1.obj", squareObj}, {"p2.obj", squareObj}, {"p5.obj", squareObj}},
               {"morph", "--rest", "rest.obj", "--pose", "p1.obj", "p2.obj", "p5.obj", "--stretch-target", "rest.obj",
                "--squash-target", "rest.obj", "-o", "c.pc2"},
               "c.pc2: a PC2 cache holds evenly spaced frames"},
        BadRun{"UnknownOption", {{"rest.obj", squareObj}},
               {"weights", "--rest", "rest.obj", "--pose", "rest.obj", "--frobnicate", "-o", "out.csv"},
               "--frobnicate"},
        BadRun{"UnknownOutputType", {{"rest.obj", squareObj}},
               {"weights", "--rest", "rest.obj", "--pose", "rest.obj", "-o", "out.txt"},
               "out.txt: unknown output type '.txt'"},
        BadRun{"PluginMissing", {{"rest.obj", squareObj}},
               {"weights", "--rest", "rest.obj", "--pose", "rest.obj", "-o", "out.csv", "--plugin-dir", "."},
               "Strainmark.so: cannot load plug-in"},
        BadRun{"PluginNotALibrary", {{"rest.obj", squareObj}, {"Strainmark.so", "not a library"}},
               {"weights", "--rest", "rest.obj", "--pose", "rest.obj", "-o", "out.csv", "--plugin-dir", "."},
               "Strainmark.so: cannot load plug-in"},
        BadRun{"SettingsNotJson", {{"rest.obj", squareObj}, {"s.json", "{ nope"}},
               {"weights", "--rest", "rest.obj", "--pose", "rest.obj", "-o", "out.csv", "--settings", "s.json"},
               "s.json: not a JSON settings file"}),
    [](const testing::TestParamInfo<BadRun>& info) { return info.param.name; });

TEST(CommandLine, EveryCommandHasHelp) {
    for (const char* command : {"weights", "morph", "check", "demo"}) {
        const test::ToolRun run = runTool({command, "--help"});
        EXPECT_EQ(run.exitCode, 0) << command;
        EXPECT_NE(run.out.find(std::string("Usage: kestrin ") + command), std::string::npos) << run.out;
    }
    EXPECT_EQ(runTool({"--help"}).exitCode, 0);
    EXPECT_NE(runTool({}).exitCode, 0);
}

// Every edge 1.5 times as long: with the default settings the weight is
// sin(log2(1.5)·π/2)² = 0.63188 wherever the rest edges have a length at all.
TEST(CommandLine, SpiderScaledByOneAndAHalfWeighsPointSixThreeOneEightEight) {
    ScratchDirectory scratch;
    const formats::ObjMesh rest = formats::readObj(spiderPath);
    writeObj(scratch.file("scaled.obj"),
             transformed(rest, [](const Point3& p) { return Point3{1.5 * p.x, 1.5 * p.y, 1.5 * p.z}; }));
    const test::ToolRun run = runTool({"weights", "--rest", spiderPath, "--pose", scratch.file("scaled.obj"),
                                       "-o", scratch.file("w.csv"), "-o", scratch.file("w.ply"), "-o",
                                       scratch.file("w.png")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(scratch.entries(), (std::vector<std::string>{"scaled.obj", "w.csv", "w.ply", "w.png"}));

    // Rest mean edge length per point, from the polygons' boundary edges.
    std::vector<double> edgeLength(rest.points.size(), 0.0);
    for (size_t face = 0; face < rest.polygons.size(); ++face) {
        const int32_t* polygon = rest.polygons.begin(face);
        const size_t corners = rest.polygons.count(face);
        for (size_t i = 0; i < corners; ++i) {
            const Point3& a = rest.points[polygon[i]];
            const Point3& b = rest.points[polygon[(i + 1) % corners]];
            const double length = std::hypot(a.x - b.x, a.y - b.y, a.z - b.z);
            edgeLength[polygon[i]] += length;
            edgeLength[polygon[(i + 1) % corners]] += length;
        }
    }
    const std::vector<float> weights = formats::readWeightCsv(scratch.file("w.csv"), rest.points.size());
    size_t measured = 0;
    for (size_t i = 0; i < weights.size(); ++i) {
        if (edgeLength[i] == 0.0) continue;  // every edge of zero length: no ratio
        EXPECT_NEAR(weights[i], 0.63188, 0.000005) << "point " << i;
        ++measured;
    }
    EXPECT_GT(measured, 750u);
}

// Rotated by R and doubled: every edge twice as long, so each point takes its
// full stretch offset, carried round by its tangent frame: pose + R·(stretch − rest).
TEST(CommandLine, MorphOfRotatedDoubledPoseAddsRotatedStretchOffset) {
    ScratchDirectory scratch;
    const formats::ObjMesh rest = formats::readObj(spiderPath);
    const double c = std::cos(0.7), s = std::sin(0.7);
    auto rotate = [&](const Point3& p) { return Point3{c * p.x - s * p.y, s * p.x + c * p.y, p.z}; };
    const formats::MeshData pose = transformed(rest, [&](const Point3& p) {
        const Point3 r = rotate(p);
        return Point3{2 * r.x, 2 * r.y, 2 * r.z};
    });
    size_t index = 0;
    const formats::MeshData stretch = transformed(rest, [&](const Point3& p) {
        ++index;
        return Point3{p.x + 0.3 * std::sin(index), p.y + 0.2 * std::cos(3.0 * index), p.z - 0.25};
    });
    writeObj(scratch.file("pose.obj"), pose);
    writeObj(scratch.file("stretch.obj"), stretch);
    const test::ToolRun run = runTool({"morph", "--rest", spiderPath, "--pose", scratch.file("pose.obj"),
                                       "--stretch-target", scratch.file("stretch.obj"), "--squash-target",
                                       spiderPath, "-o", scratch.file("out.obj")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const formats::MeshData corrected = formats::readObj(scratch.file("out.obj"));
    ASSERT_EQ(corrected.points.size(), rest.points.size());
    EXPECT_EQ(corrected.polygons, rest.polygons);
    // Points on a face of no area (the spider's leg tips gather coincident
    // points) have no tangent frame to carry an offset; they are left out.
    std::vector<bool> degenerate(rest.points.size(), false);
    for (size_t face = 0; face < rest.polygons.size(); ++face) {
        const int32_t* polygon = rest.polygons.begin(face);
        const Point3& a = rest.points[polygon[0]];
        const Point3& b = rest.points[polygon[1]];
        const Point3& d = rest.points[polygon[2]];
        const double nx = (b.y - a.y) * (d.z - a.z) - (b.z - a.z) * (d.y - a.y);
        const double ny = (b.z - a.z) * (d.x - a.x) - (b.x - a.x) * (d.z - a.z);
        const double nz = (b.x - a.x) * (d.y - a.y) - (b.y - a.y) * (d.x - a.x);
        if (std::hypot(nx, ny, nz) == 0.0) {
            for (size_t i = 0; i < rest.polygons.count(face); ++i) degenerate[polygon[i]] = true;
        }
    }
    size_t checked = 0;
    for (size_t i = 0; i < rest.points.size(); ++i) {
        if (degenerate[i]) continue;
        const Point3 offset = rotate({stretch.points[i].x - rest.points[i].x,
                                      stretch.points[i].y - rest.points[i].y,
                                      stretch.points[i].z - rest.points[i].z});
        const Point3& got = corrected.points[i];
        EXPECT_NEAR(got.x, pose.points[i].x + offset.x, 1e-6) << "point " << i;
        EXPECT_NEAR(got.y, pose.points[i].y + offset.y, 1e-6) << "point " << i;
        EXPECT_NEAR(got.z, pose.points[i].z + offset.z, 1e-6) << "point " << i;
        ++checked;
    }
    EXPECT_GT(checked, 700u);
}

TEST(CommandLine, SavedSettingsGiveTheSameWeightsAgain) {
    ScratchDirectory scratch;
    writeText(scratch.file("rest.obj"), squareObj);
    writeText(scratch.file("pose.obj"), "v 0 0 0\nv 1.3 0 0\nv 1.3 1 0\nv 0 1 0\nf 1 2 3\nf 1 3 4\n");
    const std::vector<std::string> common = {"weights", "--rest", "rest.obj", "--pose", "pose.obj"};
    auto with = [&](std::vector<std::string> extra) {
        std::vector<std::string> arguments = common;
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return arguments;
    };
    ASSERT_EQ(runTool(with({"-o", "direct.csv", "--exponent", "0.1", "--post-multiplier", "0.9",
                            "--clamp", "off", "--switch", "--save-settings", "s.json"}),
                      scratch.path()).exitCode, 0);
    const test::ToolRun again = runTool(with({"-o", "loaded.csv", "--settings", "s.json"}), scratch.path());
    ASSERT_EQ(again.exitCode, 0) << again.err;
    const test::ToolRun plain = runTool(with({"-o", "plain.csv"}), scratch.path());
    EXPECT_EQ(readText(scratch.file("loaded.csv")), readText(scratch.file("direct.csv")));
    EXPECT_NE(readText(scratch.file("plain.csv")), readText(scratch.file("direct.csv")));
    const std::string saved = readText(scratch.file("s.json"));
    EXPECT_NE(saved.find("\"LagData\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("\"Post Multiplier\": 0.9"), std::string::npos) << saved;
}

// A file saved by `weights` gives `morph` its five channels (the effect has
// no check boxes; the weight tool's are left aside).
TEST(CommandLine, SettingsSavedByWeightsSetMorphsChannels) {
    ScratchDirectory scratch;
    writeText(scratch.file("rest.obj"), squareObj);
    const test::ToolRun weights = runTool(
        {"weights", "--rest", "rest.obj", "--pose", "rest.obj", "-o", "w.csv", "--exponent", "0.3",
         "--pre-multiplier", "0.7", "--post-multiplier", "0.4", "--stretch-multiplier", "0.6",
         "--squash-multiplier", "0.45", "--clamp", "off", "--save-settings", "s.json"},
        scratch.path());
    ASSERT_EQ(weights.exitCode, 0) << weights.err;
    const test::ToolRun morph = runTool({"morph", "--rest", "rest.obj", "--pose", "rest.obj", "--stretch-target",
                                         "rest.obj", "--squash-target", "rest.obj", "-o", "m.obj", "--settings",
                                         "s.json", "--save-settings", "m.json"},
                                        scratch.path());
    ASSERT_EQ(morph.exitCode, 0) << morph.err;
    const std::string saved = readText(scratch.file("m.json"));
    for (const char* channel : {"\"Exponent\": 0.3", "\"Pre Multiplier\": 0.7", "\"Post Multiplier\": 0.4",
                                "\"Stretch Multi\": 0.6", "\"Squash Multi\": 0.45"}) {
        EXPECT_NE(saved.find(channel), std::string::npos) << channel << " in " << saved;
    }
}

TEST(CommandLine, CheckReportsRegistrationAndZeroAnswers) {
    const test::ToolRun run = runTool({"check", STRAINMARK_PATH});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("module name        \"Strainmark\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("every message answered 0"), std::string::npos) << run.out;
}

// The demo's arm bends upward: the outside of the elbow (below) stretches,
// the inside (above) squashes, and the correction keeps the surface whole.
TEST(CommandLine, DemoStretchesOutsideTheElbowAndCorrectsWithoutFolding) {
    ScratchDirectory scratch;
    const test::ToolRun run = runTool({"demo", "--out", scratch.file("demo")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("4 (90 deg)"), std::string::npos) << run.out;
    for (const char* name : {"weights_0004.csv", "weights_0004.ply", "weights_0004.png",
                             "corrected_0004.obj", "arm_rest.obj"}) {
        EXPECT_TRUE(std::filesystem::exists(scratch.file("demo/") + name)) << name;
    }
    const formats::ObjMesh rest = formats::readObj(scratch.file("demo/arm_rest.obj"));
    const std::vector<float> weights = formats::readWeightCsv(scratch.file("demo/weights_0004.csv"), rest.points.size());
    for (size_t i = 0; i < rest.points.size(); ++i) {
        const Point3& p = rest.points[i];
        if (std::fabs(p.x - 5.0) > 0.5) continue;
        if (p.y < -0.95) {
            EXPECT_GT(weights[i], 0.2f) << "outside point " << i;
        }
        if (p.y > 0.95) {
            EXPECT_LT(weights[i], -0.2f) << "inside point " << i;
        }
    }

    // The correction never folds the surface over: at every frame, each
    // polygon of the corrected arm faces within 90 degrees of the same
    // polygon as posed (a target pushed through the elbow's fold turns its
    // polygons inside out). And it does correct: the last frame's inner
    // elbow moves visibly.
    double moved = 0.0;
    for (int frame = 1; frame <= 5; ++frame) {
        char pose[32], corrected[32];
        std::snprintf(pose, sizeof pose, "demo/arm_pose_%04d.obj", frame);
        std::snprintf(corrected, sizeof corrected, "demo/corrected_%04d.obj", frame);
        const formats::MeshData posed = formats::readObj(scratch.file(pose));
        const formats::MeshData fixed = formats::readObj(scratch.file(corrected));
        ASSERT_EQ(fixed.points.size(), posed.points.size());
        int folded = 0;
        for (size_t face = 0; face < rest.polygons.size(); ++face) {
            if (polygonNormal(fixed, face) * polygonNormal(posed, face) < 0.0) ++folded;
        }
        EXPECT_EQ(folded, 0) << "frame " << frame << ": polygons turned over by the correction";
        for (size_t i = 0; i < posed.points.size(); ++i) {
            const Point3 a = posed.points[i], b = fixed.points[i];
            moved = std::max(moved, std::hypot(a.x - b.x, a.y - b.y, a.z - b.z));
        }
    }
    EXPECT_GT(moved, 0.1);
}

}  // namespace
}  // namespace kestrin::tool
