// The engine outputs in a real engine: a copy of the Godot project
// (engines/godot/) gets a shot's mesh.glb, tension.exr and corrected.exr,
// Godot 3 imports them with the project's import settings (the editor,
// under Xvfb, software GL) and plays them through the project's player and
// shader (tests/godot/play.sh and project/check.gd). At each chosen frame every
// vertex's colour and movement, as the shader's own functions give them,
// must be the tool's: the colour of the .npy weight of the vertex's point,
// the movement of the .pc2 corrected point from its pose. A vertex's point
// is found by its rest position, so a wrong texel, a wrong UV2 or a wrong
// frame row all show.
#include <gtest/gtest.h>

#include <Imath/half.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "files/colour_map.h"
#include "engine_shot.h"
#include "mesh/obj_reader.h"
#include "png_file.h"

namespace kestrin::test {
namespace {

// What check.gd wrote: each vertex's rest position, and per frame each
// vertex's colour (0..1) and movement.
struct GodotVertices {
    std::vector<float> rest;
    struct Frame {
        int frame = -1;
        std::vector<float> colour, moved;
    };
    std::vector<Frame> frames;
};

GodotVertices readGodotVertices(const std::string& path) {
    const std::string bytes = readText(path);
    size_t at = 0;
    auto take = [&](void* into, size_t size) {
        if (at + size > bytes.size()) throw std::runtime_error(path + ": too short");
        std::memcpy(into, bytes.data() + at, size);
        at += size;
    };
    int32_t vertices = 0, frames = 0;
    take(&vertices, 4);
    take(&frames, 4);
    GodotVertices result;
    result.rest.resize(vertices * 3);
    take(result.rest.data(), result.rest.size() * 4);
    for (int f = 0; f < frames; ++f) {
        GodotVertices::Frame frame;
        take(&frame.frame, 4);
        for (std::vector<float>* values : {&frame.colour, &frame.moved}) {
            values->resize(vertices * 3);
            take(values->data(), values->size() * 4);
        }
        result.frames.push_back(std::move(frame));
    }
    return result;
}

// A .pc2 cache's frame `frame`, point `point`, axis `axis`.
float pc2Value(const std::string& cache, size_t points, size_t frame, size_t point, int axis) {
    float value;
    std::memcpy(&value, cache.data() + 32 + ((frame * points + point) * 3 + axis) * 4, 4);
    return value;
}

// How many pixels of a PNG are clearly red (stretch) and clearly blue (squash).
std::pair<int, int> stretchAndSquashPixels(const std::string& path) {
    const RgbImage image = readPng(path);
    int red = 0, blue = 0;
    for (size_t i = 0; i < image.rgb.size(); i += 3) {
        const int r = image.rgb[i], g = image.rgb[i + 1], b = image.rgb[i + 2];
        red += r > g + 25 && r > b + 15 ? 1 : 0;
        blue += b > r + 25 && b > g ? 1 : 0;
    }
    return {red, blue};
}

TEST(Godot, PlaysTheTexturesOnTheMeshAtTheirFrames) {
    const char* ci = std::getenv("CI");
    const bool inCi = ci != nullptr && std::string(ci) == "true";
    for (const char* program : {KESTRIN_GODOT, KESTRIN_XVFB_RUN}) {
        if (std::filesystem::exists(program)) continue;
        if (inCi) FAIL() << "no " << program << " (CI=true: Godot must run)";
        GTEST_SKIP() << "no " << program;
    }

    // A tube of 8,280 points: 2 rows per frame. Weights that saturate early,
    // so that colours change quickly along the bend.
    ScratchDirectory scratch;
    const Tube tube{92, 90};
    const int poses = 3;
    std::vector<std::string> weights = tubeShot(scratch, tube, poses);
    std::vector<std::string> morph = weights;
    for (const char* more : {"--pre-multiplier", "2", "--exponent", "0.1", "-o", "w.npy", "-o", "tension.exr",
                             "-o", "mesh.glb"}) {
        weights.push_back(more);
    }
    morph[0] = "morph";
    writeText(scratch.file("stretch.obj"), tube.obj(0.0, false));
    writeText(scratch.file("squash.obj"), tube.obj(0.3, false));
    for (const char* more : {"--stretch-target", "stretch.obj", "--squash-target", "squash.obj", "-o",
                             "corrected.exr", "-o", "c.pc2"}) {
        morph.push_back(more);
    }
    for (const std::vector<std::string>& run : {weights, morph}) {
        const ToolRun result = runTool(run, scratch.path());
        ASSERT_EQ(result.exitCode, 0) << result.err;
    }
    const Texture tension = readExr(scratch.file("tension.exr"));
    ASSERT_EQ(tension.rowsPerFrame, 2);
    const float colourRange = std::fmax(1.0f, std::fmax(tension.range[0][1], tension.range[1][1]));

    // The project as a user has it, played by tests/godot/play.sh.
    const std::vector<int> frames = {2, 1};
    const nlohmann::json settings = {{"files", {"res://mesh.glb", "res://tension.exr", "res://corrected.exr"}},
                                     {"frames", frames},
                                     {"rows_per_frame", tension.rowsPerFrame},
                                     {"colour_range", colourRange},
                                     {"morph_values", 1},
                                     {"view", {0, 0}},
                                     {"size", {800, 500}},
                                     {"out", scratch.path().string()}};
    writeText(scratch.file("settings.json"), settings.dump());
    const std::string command = "GODOT=" + quoted(KESTRIN_GODOT) + " XVFB_RUN=" + quoted(KESTRIN_XVFB_RUN) +
                                " sh " + quoted(KESTRIN_GODOT_PLAY) + " " + quoted(scratch.file("godot")) +
                                " " + quoted(scratch.file("mesh.glb")) + " " + quoted(scratch.file("tension.exr")) +
                                " " + quoted(scratch.file("corrected.exr")) + " " + quoted(scratch.file("settings.json"));
    std::system(command.c_str());
    const std::string importLog = readText(scratch.file("godot/import.log"));
    if (importLog.find("OpenGL ES 3.0 Renderer") == std::string::npos) {
        if (inCi) FAIL() << "Godot did not start (CI=true: it must):\n" << importLog;
        GTEST_SKIP() << "Godot could not start here:\n" << importLog;
    }
    ASSERT_TRUE(std::filesystem::exists(scratch.file("godot/project/kestrin_imported.txt"))) << importLog;
    const std::string checkLog = readText(scratch.file("godot/check.log"));
    ASSERT_NE(checkLog.find("kestrin check: done"), std::string::npos) << checkLog;

    size_t poseCount = 0, points = 0;
    const std::vector<float> npy = npyValues(scratch.file("w.npy"), &poseCount, &points);
    const std::string cache = readText(scratch.file("c.pc2"));
    const auto pointAt = pointsByPosition(scratch.file("rest.obj"), points);
    const GodotVertices seen = readGodotVertices(scratch.file("godot_vertices.bin"));
    const size_t vertices = seen.rest.size() / 3;
    EXPECT_EQ(vertices, tube.points() + tube.rings) << "the seam's column once more";
    ASSERT_EQ(seen.frames.size(), frames.size());
    for (size_t k = 0; k < frames.size(); ++k) {
        const GodotVertices::Frame& shown = seen.frames[k];
        ASSERT_EQ(shown.frame, frames[k]);
        const formats::MeshData pose =
            formats::readObj(scratch.file("pose_" + std::to_string(shown.frame + 1) + ".obj"));
        int coloured = 0;
        double largest = 0.0;
        for (size_t v = 0; v < vertices; ++v) {
            const auto found = pointAt.find({seen.rest[v * 3], seen.rest[v * 3 + 1], seen.rest[v * 3 + 2]});
            ASSERT_NE(found, pointAt.end()) << "vertex " << v << " is at no point of the rest mesh";
            const size_t p = found->second;
            const float weight = half(npy[shown.frame * points + p]);
            const formats::Rgb expected = formats::divergingColour(weight, colourRange);
            const uint8_t channels[3] = {expected.red, expected.green, expected.blue};
            for (int c = 0; c < 3; ++c) {
                ASSERT_NEAR(shown.colour[v * 3 + c] * 255.0, channels[c], 1.0)
                    << "frame " << shown.frame << " vertex " << v << " (point " << p << ") channel " << c;
            }
            coloured += expected.green < 200 ? 1 : 0;
            const double at[3] = {pose.points[p].x, pose.points[p].y, pose.points[p].z};
            for (int a = 0; a < 3; ++a) {
                const double displacement = pc2Value(cache, points, shown.frame, p, a) - at[a];
                ASSERT_NEAR(shown.moved[v * 3 + a], displacement, std::fabs(displacement) / 512 + 2e-4)
                    << "frame " << shown.frame << " vertex " << v << " (point " << p << ") axis " << a;
                largest = std::fmax(largest, std::fabs(displacement));
            }
        }
        EXPECT_GT(coloured, 500) << "frame " << shown.frame << " shows stretch and squash";
        EXPECT_GT(largest, 0.01) << "frame " << shown.frame << " moves";
        const auto [red, blue] =
            stretchAndSquashPixels(scratch.file("godot_frame_" + std::to_string(shown.frame + 1) + ".png"));
        EXPECT_GT(red, 200) << "the picture of frame " << shown.frame << " shows stretch";
        EXPECT_GT(blue, 200) << "the picture of frame " << shown.frame << " shows squash";
    }
}

}  // namespace
}  // namespace kestrin::test
