// The engine outputs (kestrin ... -o tension.exr -o mesh.glb): the texture
// read back with OpenEXR against the .npy weights, the mesh through the
// Khronos validator and read back, the refusals made before any work, the
// proof page in headless Chromium against the shot page, and Blender reading
// both files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine_shot.h"

namespace kestrin::test {
namespace {

// A .glb's JSON chunk and binary chunk.
struct Glb {
    nlohmann::json json;
    std::string bin;
    // Accessor `index`'s floats (tightly packed, as the tool writes them).
    std::vector<float> floats(int index) const {
        const nlohmann::json& accessor = json["accessors"][index];
        const nlohmann::json& view = json["bufferViews"][accessor["bufferView"].get<int>()];
        std::vector<float> values(view["byteLength"].get<size_t>() / sizeof(float));
        std::memcpy(values.data(), bin.data() + view.value("byteOffset", 0), values.size() * sizeof(float));
        return values;
    }
};

Glb readGlb(const std::string& path) {
    const std::string bytes = readText(path);
    uint32_t jsonLength = 0, binLength = 0;
    std::memcpy(&jsonLength, bytes.data() + 12, 4);
    std::memcpy(&binLength, bytes.data() + 20 + jsonLength, 4);
    return {nlohmann::json::parse(bytes.substr(20, jsonLength)), bytes.substr(28 + jsonLength, binLength)};
}

#ifdef KESTRIN_WITH_OPENEXR

// Every frame and point of the texture is the .npy's weight rounded to a
// half float: stretch, squash and signed; a tube wider than the wrap lies
// on several rows per frame.
TEST(EngineTexture, HoldsTheNpyWeightsAtEveryFrameAndPoint) {
    struct Case {
        Tube tube;
        int width, rowsPerFrame;
    };
    for (const Case& c : {Case{{12, 16}, 192, 1}, Case{{92, 90}, 4140, 2}}) {
        ScratchDirectory scratch;
        std::vector<std::string> arguments = tubeShot(scratch, c.tube, 3);
        for (const char* out : {"-o", "w.npy", "-o", "t.exr"}) arguments.push_back(out);
        const ToolRun run = runTool(arguments, scratch.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        size_t poses = 0, points = 0;
        const std::vector<float> weights = npyValues(scratch.file("w.npy"), &poses, &points);
        const Texture texture = readExr(scratch.file("t.exr"));
        ASSERT_EQ(points, c.tube.points());
        EXPECT_EQ(texture.width, c.width);
        EXPECT_EQ(texture.rowsPerFrame, c.rowsPerFrame);
        EXPECT_EQ(texture.frames, 3);
        ASSERT_EQ(texture.rows, 3 * c.rowsPerFrame);
        float low = 0, high = 0;
        for (size_t f = 0; f < poses; ++f) {
            for (size_t p = 0; p < points; ++p) {
                const float w = weights[f * points + p];
                const size_t row = f * c.rowsPerFrame + p / c.width, column = p % c.width;
                const half* texel = &texture.rgb[(row * c.width + column) * 3];
                ASSERT_EQ(texel[0].bits(), half(std::fmax(w, 0.0f)).bits()) << "frame " << f << " point " << p;
                ASSERT_EQ(texel[1].bits(), half(std::fmax(-w, 0.0f)).bits()) << "frame " << f << " point " << p;
                ASSERT_EQ(texel[2].bits(), half(w).bits()) << "frame " << f << " point " << p;
                low = std::fmin(low, half(w)), high = std::fmax(high, half(w));
            }
        }
        EXPECT_EQ(texture.range[2][0], low);
        EXPECT_EQ(texture.range[2][1], high);
        EXPECT_GT(high, 0.05f);
        EXPECT_LT(low, -0.05f);
    }
}

// Several measures in one run: the .exr's R, G, B hold the first three (0
// past the last) and each measure's own .npy its weights, bit for bit what
// a run of that measure alone writes; one .glb serves the texture.
TEST(EngineTexture, HoldsEachMeasureWhereARunOfItAloneWould) {
    const std::vector<std::vector<std::string>> cases = {{"along", "across", "area"}, {"min", "max"}};
    ScratchDirectory scratch;
    const Tube tube{12, 16};
    const std::vector<std::string> shot = tubeShot(scratch, tube, 3);
    const auto run = [&](const std::vector<std::string>& directions, const std::vector<std::string>& outputs) {
        std::vector<std::string> arguments = shot;
        for (const std::string& direction : directions) arguments.insert(arguments.end(), {"--direction", direction});
        for (const std::string& output : outputs) arguments.insert(arguments.end(), {"-o", output});
        const ToolRun result = runTool(arguments, scratch.path());
        ASSERT_EQ(result.exitCode, 0) << result.err;
    };
    for (const std::vector<std::string>& directions : cases) {
        run(directions, {"all.npy", "all.exr", "all.glb"});
        const size_t poses = 3, points = tube.points();
        const Texture texture = readExr(scratch.file("all.exr"));
        std::string names;
        for (const std::string& direction : directions) names += (names.empty() ? "" : ",") + direction;
        EXPECT_EQ(texture.measures, names);
        EXPECT_EQ(readGlb(scratch.file("all.glb")).json["meshes"].size(), 1u);
        for (size_t c = 0; c < 3; ++c) {
            std::vector<float> alone(poses * points, 0.0f), measure = alone;
            if (c < directions.size()) {
                run({directions[c]}, {"alone.npy"});
                size_t readPoses = 0, readPoints = 0;
                alone = npyValues(scratch.file("alone.npy"), &readPoses, &readPoints);
                measure = npyValues(scratch.file("all." + directions[c] + ".npy"), &readPoses, &readPoints);
                ASSERT_EQ(alone.size(), poses * points);
                ASSERT_EQ(measure, alone) << directions[c];
            }
            for (size_t i = 0; i < poses * points; ++i) {
                ASSERT_EQ(texture.rgb[i * 3 + c].bits(), half(alone[i]).bits()) << "channel " << c << " " << i;
            }
            if (c < directions.size()) {
                EXPECT_NE(*std::max_element(alone.begin(), alone.end()), *std::min_element(alone.begin(), alone.end()))
                    << directions[c] << ": a measure that reads the same everywhere tells no channel from another";
            }
        }
    }
}

// The corrected shot as a texture: its displacement from the pose, or its
// positions, equal to the .pc2 cache's to half precision.
TEST(EngineTexture, HoldsTheCorrectedShot) {
    ScratchDirectory scratch;
    const Tube tube{10, 12};
    std::vector<std::string> arguments = tubeShot(scratch, tube, 2);
    arguments[0] = "morph";
    // Targets: the rest tube, and the tube bent a little (any shape of the
    // same points serves).
    writeText(scratch.file("stretch.obj"), tube.obj(0.0, false));
    writeText(scratch.file("squash.obj"), tube.obj(0.3, false));
    for (const char* more : {"--stretch-target", "stretch.obj", "--squash-target", "squash.obj", "-o", "c.pc2"}) {
        arguments.push_back(more);
    }
    for (const char* values : {"displacement", "position"}) {
        std::vector<std::string> run = arguments;
        for (const char* more : {"-o", "c.exr", "--exr-values"}) run.push_back(more);
        run.push_back(values);
        const ToolRun result = runTool(run, scratch.path());
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const Texture texture = readExr(scratch.file("c.exr"));
        const std::string cache = readText(scratch.file("c.pc2"));
        const size_t points = tube.points();
        for (int f = 0; f < 2; ++f) {
            const std::string pose = readText(scratch.file("pose_" + std::to_string(f + 1) + ".obj"));
            const char* line = pose.c_str();
            for (size_t p = 0; p < points; ++p) {
                double at[3];
                char* end = nullptr;
                for (double& coordinate : at) coordinate = std::strtod(end == nullptr ? line + 1 : end, &end);
                line = std::strchr(end, '\n') + 1;
                for (int a = 0; a < 3; ++a) {
                    float corrected;
                    std::memcpy(&corrected, cache.data() + 32 + ((f * points + p) * 3 + a) * 4, 4);
                    const double expected =
                        std::string(values) == "position" ? corrected : static_cast<double>(corrected) - at[a];
                    const float stored = texture.rgb[(static_cast<size_t>(f) * texture.width + p) * 3 + a];
                    ASSERT_NEAR(stored, expected, std::fabs(expected) * 1.0 / 1024 + 1e-4)
                        << values << " frame " << f << " point " << p << " axis " << a;
                    ASSERT_GE(stored, texture.range[a][0]);
                    ASSERT_LE(stored, texture.range[a][1]);
                }
            }
        }
    }
}

#endif  // KESTRIN_WITH_OPENEXR

// Refused before any work, with a message that says why and no file left:
// weights that settings allow beyond half floats, a texture taller than
// engines take.
TEST(EngineOutputs, RefusesWhatEnginesCannotTakeBeforeTheWork) {
    ScratchDirectory scratch;
    const Tube tube{4, 6};
    std::vector<std::string> weights = tubeShot(scratch, tube, 1);
    // A cache of 16,385 frames of the tube: one row each, one row too many.
    std::string cache(8, '\0');
    const uint32_t frames = 16385, points = static_cast<uint32_t>(tube.points());
    const auto bigEndian = [](unsigned char* at, uint32_t value) {
        for (int b = 0; b < 4; ++b) at[b] = static_cast<unsigned char>(value >> (24 - 8 * b));
    };
    bigEndian(reinterpret_cast<unsigned char*>(&cache[0]), frames);
    bigEndian(reinterpret_cast<unsigned char*>(&cache[4]), points);
    cache.resize(8 + frames * 4 + static_cast<size_t>(frames) * points * 12, '\0');
    writeText(scratch.file("long.mdd"), cache);
    std::vector<std::string> longShot = {"weights", "--rest", "rest.obj", "--pose", "long.mdd"};

    struct Case {
        std::vector<std::string> arguments;
        const char* message;
    };
    const std::vector<Case> cases = {
#ifdef KESTRIN_WITH_OPENEXR
        {{"--clamp", "off", "--post-multiplier", "50", "--exponent", "0.3", "-o", "t.exr"},
         "t.exr: weights may reach 1e+06 with these settings"},
        {{"--clamp", "off", "--exponent", "-0.1", "-o", "t.exr"}, "t.exr: weights have no bound"},
        {{"long", "-o", "t.exr"}, "t.exr: the texture would be 16385 frames x 1 row(s) per frame"},
        {{"--direction", "along", "--direction", "across", "--direction", "area", "--direction", "max", "-o", "t.exr"},
         "t.exr: an .exr holds three measures, in R, G and B, not 4"},
#endif
        {{"--clamp", "off", "--post-multiplier", "50", "--exponent", "0.3", "-o", "m.glb"}, nullptr},
        {{"long", "-o", "m.glb"}, "m.glb: the texture would be 16385 frames x 1 row(s) per frame"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = c.arguments[0] == "long" ? longShot : weights;
        arguments.insert(arguments.end(), c.arguments.begin() + (c.arguments[0] == "long" ? 1 : 0), c.arguments.end());
        const ToolRun run = runTool(arguments, scratch.path());
        if (c.message == nullptr) {  // the mesh holds no weights beyond the first pose's colours
            EXPECT_EQ(run.exitCode, 0) << run.err;
            std::filesystem::remove(scratch.file("m.glb"));
            continue;
        }
        EXPECT_EQ(run.exitCode, 1) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("%"), std::string::npos) << "refused before the work, no progress: " << run.err;
        EXPECT_FALSE(std::filesystem::exists(scratch.file("t.exr")));
        EXPECT_FALSE(std::filesystem::exists(scratch.file("m.glb")));
    }
}

// The Khronos validator's issues with a .glb (its report's "issues").
nlohmann::json validatorIssues(const ScratchDirectory& scratch, const std::string& glb) {
    const std::string report = scratch.file("report.json");
    const std::string command = std::string(KESTRIN_NODE) + " " + quoted(KESTRIN_ENGINE_DIR "/validate_glb.js") + " " +
                                quoted(scratch.file(glb)) + " > " + quoted(report);
    EXPECT_EQ(std::system(command.c_str()), 0) << command << "\n" << readText(report);
    return nlohmann::json::parse(readText(report))["issues"];
}

// The mesh passes the Khronos validator with no errors, keeps the UV seam's
// split vertices, and every vertex's TEXCOORD_1 is the centre of its point's
// texel in frame 0 (a point is found by its rest position).
TEST(EngineMesh, IsValidGltfAndAddressesEachPointsTexel) {
    for (const Tube& tube : {Tube{12, 16}, Tube{92, 90}}) {
        ScratchDirectory scratch;
        std::vector<std::string> arguments = tubeShot(scratch, tube, 2);
        for (const char* out : {"-o", "m.glb"}) arguments.push_back(out);
        const ToolRun run = runTool(arguments, scratch.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const nlohmann::json issues = validatorIssues(scratch, "m.glb");
        EXPECT_EQ(issues["numErrors"], 0) << issues.dump(1);

        const Glb glb = readGlb(scratch.file("m.glb"));
        const nlohmann::json& attributes = glb.json["meshes"][0]["primitives"][0]["attributes"];
        const std::vector<float> positions = glb.floats(attributes["POSITION"]);
        const std::vector<float> texels = glb.floats(attributes["TEXCOORD_1"]);
        const nlohmann::json layout = glb.json["meshes"][0]["extras"]["kestrinTexture"];
        const size_t width = layout["width"], rows = layout["rowsPerFrame"].get<size_t>() * 2;
        const auto pointAt = pointsByPosition(scratch.file("rest.obj"), tube.points());
        const size_t vertices = positions.size() / 3;
        EXPECT_EQ(vertices, tube.points() + tube.rings) << "the seam's column once more";
        for (size_t v = 0; v < vertices; ++v) {
            const auto found = pointAt.find({positions[v * 3], positions[v * 3 + 1], positions[v * 3 + 2]});
            ASSERT_NE(found, pointAt.end()) << "vertex " << v;
            const size_t p = found->second;
            EXPECT_FLOAT_EQ(texels[v * 2], (p % width + 0.5f) / width) << "vertex " << v;
            EXPECT_FLOAT_EQ(texels[v * 2 + 1], (p / width + 0.5f) / rows) << "vertex " << v;
        }
    }
}

// Meshes an engine must take as they come: points without faces, a single
// point, concave polygons with a UV seam between them. Each gives a file
// with no validator error (points as a POINTS primitive), and the
// triangles of its polygons cover their area once.
TEST(EngineMesh, EveryKindOfMeshGivesAValidFile) {
    struct Case {
        const char* name;
        std::string obj;
        double area;
    };
    //   6--5    9--8
    //   |  |    |  |     an L, and a rectangle beside it that shares its
    //   |  4----3  |     edge 2-3 with other UVs on each side (a seam)
    //   1-------2--7
    const std::string concave =
        "v 0 0 0\nv 2 0 0\nv 2 1 0\nv 1 1 0\nv 1 2 0\nv 0 2 0\nv 3 0 0\nv 3 2 0\nv 2 2 0\n"
        "vt 0 0\nvt 0.5 0\nvt 0.5 0.5\nvt 0.25 0.5\nvt 0.25 1\nvt 0 1\n"
        "vt 0.6 0\nvt 0.6 0.5\nvt 1 0\nvt 1 1\nvt 0.6 1\n"
        "f 1/1 2/2 3/3 4/4 5/5 6/6\nf 2/7 7/9 8/10 9/11 3/8\n";
    const Case cases[] = {
        {"points only", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\n", 0.0},
        {"one point", "v 1 2 3\n", 0.0},
        {"concave polygons and a seam", concave, 3.0 + 2.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDirectory scratch;
        writeText(scratch.file("rest.obj"), c.obj);
        const ToolRun run = runTool({"weights", "--rest", "rest.obj", "--pose", "rest.obj", "-o", "m.glb"}, scratch.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const nlohmann::json issues = validatorIssues(scratch, "m.glb");
        EXPECT_EQ(issues["numErrors"], 0) << issues.dump(1);
        const Glb glb = readGlb(scratch.file("m.glb"));
        const nlohmann::json& primitive = glb.json["meshes"][0]["primitives"][0];
        const std::vector<float> positions = glb.floats(primitive["attributes"]["POSITION"]);
        if (c.area == 0.0) {
            EXPECT_EQ(primitive["mode"], 0) << "points";
            continue;
        }
        const nlohmann::json& accessor = glb.json["accessors"][primitive["indices"].get<int>()];
        const nlohmann::json& view = glb.json["bufferViews"][accessor["bufferView"].get<int>()];
        std::vector<uint32_t> indices(accessor["count"].get<size_t>());
        std::memcpy(indices.data(), glb.bin.data() + view.value("byteOffset", 0), indices.size() * 4);
        double area = 0.0;
        for (size_t t = 0; t < indices.size(); t += 3) {
            const float* a = &positions[indices[t] * 3];
            const float* b = &positions[indices[t + 1] * 3];
            const float* d = &positions[indices[t + 2] * 3];
            // In the z = 0 plane, no triangle turning against the polygons.
            const double turn = (b[0] - a[0]) * (d[1] - a[1]) - (b[1] - a[1]) * (d[0] - a[0]);
            EXPECT_GE(turn, 0.0) << "triangle " << t / 3;
            area += std::fabs(turn) / 2;
        }
        EXPECT_NEAR(area, c.area, 1e-6);
        EXPECT_EQ(positions.size() / 3, 9u + 2) << "the seam's two points once more";
    }
}

#ifdef KESTRIN_WITH_OPENEXR

// The proof page (scripts/engine-proof-page.js) plays the mesh with the
// texture through its vertex shader; at the last frame, every vertex's
// colour is the shot page's colour of its point, the mesh is in view whole
// and the label says it is the rest mesh with that frame's tension.
TEST(EngineProofPage, ShowsTheShotPagesColours) {
    if (!std::filesystem::exists(KESTRIN_CHROMIUM)) GTEST_SKIP() << "no Chromium at " KESTRIN_CHROMIUM;
    ScratchDirectory scratch;
    std::vector<std::string> arguments = tubeShot(scratch, Tube{24, 20}, 4);
    // Weights that saturate early, so that the bend shows strong colours.
    for (const char* out : {"--pre-multiplier", "2", "--exponent", "0.1", "-o", "m.glb", "-o", "t.exr", "-o", "shot.html"}) {
        arguments.push_back(out);
    }
    const ToolRun run = runTool(arguments, scratch.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string page = scratch.file("proof.html");
    std::string command = std::string(KESTRIN_NODE) + " " + quoted(KESTRIN_PROOF_PAGE_SCRIPT) + " " +
                          quoted(scratch.file("m.glb")) + " " + quoted(scratch.file("t.exr")) + " " + quoted(page);
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    command = std::string(KESTRIN_NODE) + " " + quoted(KESTRIN_ENGINE_DIR "/drive_engine_pages.js") + " " +
              quoted(KESTRIN_CHROMIUM) + " " + quoted(page) + " " + quoted(scratch.file("shot.html")) + " " +
              quoted(scratch.path().string());
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const nlohmann::json seen = nlohmann::json::parse(readText(scratch.file("results.json")));
    EXPECT_EQ(seen["errors"], nlohmann::json::array());
    ASSERT_EQ(seen["frame"], 3);
    const nlohmann::json& shot = seen["shotColours"];
    int coloured = 0;
    for (const nlohmann::json& vertex : seen["engineColours"]) {
        const size_t point = vertex["point"];
        for (int c = 0; c < 3; ++c) {
            const double expected = shot[point * 3 + c].get<double>() * 255;
            ASSERT_NEAR(vertex["rgb"][c].get<double>(), expected, 2.0) << "point " << point << " channel " << c;
        }
        coloured += vertex["rgb"][1].get<int>() < 200 ? 1 : 0;
    }
    EXPECT_GT(coloured, 20) << "the bent tube shows stretch and squash";
    // The tall tube whole, within the view between the label and the
    // controls, and the label saying what the picture is.
    const nlohmann::json& drawn = seen["drawn"];
    EXPECT_GE(drawn["left"].get<double>(), drawn["view"]["left"].get<double>()) << drawn;
    EXPECT_LE(drawn["right"].get<double>(), drawn["view"]["right"].get<double>()) << drawn;
    EXPECT_GE(drawn["top"].get<double>(), drawn["view"]["top"].get<double>()) << drawn;
    EXPECT_LE(drawn["bottom"].get<double>(), drawn["view"]["bottom"].get<double>()) << drawn;
    EXPECT_EQ(seen["caption"], "The rest mesh from m.glb, coloured by frame 4's tension from t.exr");
}

// Blender imports the mesh with the texel coordinates as its second UV map
// and loads the texture with the same values: the script reads each loop's
// texel through that map, and the values are the .npy's first frame.
TEST(EngineOutputs, BlenderReadsTheMeshAndTheTexture) {
    if (!std::filesystem::exists(KESTRIN_BLENDER)) GTEST_SKIP() << "no Blender at " KESTRIN_BLENDER;
    ScratchDirectory scratch;
    std::vector<std::string> arguments = tubeShot(scratch, Tube{12, 16}, 2);
    for (const char* out : {"-o", "m.glb", "-o", "t.exr", "-o", "w.npy"}) arguments.push_back(out);
    const ToolRun run = runTool(arguments, scratch.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string command = std::string(KESTRIN_BLENDER) +
                                " -b --factory-startup -noaudio --python " +
                                quoted(KESTRIN_ENGINE_DIR "/blender_check.py") + " -- " +
                                quoted(scratch.file("m.glb")) + " " + quoted(scratch.file("t.exr")) + " " +
                                quoted(scratch.file("blender.json")) + " > " + quoted(scratch.file("blender.log")) +
                                " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << readText(scratch.file("blender.log"));
    const nlohmann::json seen = nlohmann::json::parse(readText(scratch.file("blender.json")));
    EXPECT_GE(seen["uvMaps"].size(), 2u) << seen["uvMaps"];
    size_t poses = 0, points = 0;
    const std::vector<float> weights = npyValues(scratch.file("w.npy"), &poses, &points);
    const auto pointAt = pointsByPosition(scratch.file("rest.obj"), points);
    ASSERT_GT(seen["loops"].size(), 0u);
    for (const nlohmann::json& loop : seen["loops"]) {
        // glTF's +y up is Blender's +z, its +z Blender's -y.
        const std::tuple<float, float, float> at{loop["co"][0].get<float>(), loop["co"][2].get<float>(),
                                                 -loop["co"][1].get<float>()};
        const auto found = pointAt.find(at);
        ASSERT_NE(found, pointAt.end()) << loop.dump();
        const float w = weights[found->second];
        EXPECT_EQ(loop["rgb"][0].get<float>(), static_cast<float>(half(std::fmax(w, 0.0f)))) << loop.dump();
        EXPECT_EQ(loop["rgb"][1].get<float>(), static_cast<float>(half(std::fmax(-w, 0.0f)))) << loop.dump();
        EXPECT_EQ(loop["rgb"][2].get<float>(), static_cast<float>(half(w))) << loop.dump();
    }
}

#endif  // KESTRIN_WITH_OPENEXR

}  // namespace
}  // namespace kestrin::test
