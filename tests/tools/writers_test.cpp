// What the tool writes: CSV rows, PLY headers and colours, OBJ round trips,
// numbered names, and files that appear whole or not at all.
#include <gtest/gtest.h>

#include <filesystem>

#include "atomic_file.h"
#include "colour_map.h"
#include "heat_map_image.h"
#include "mesh_writers.h"
#include "obj_reader.h"
#include "output_names.h"
#include "result_files.h"
#include "tool_error.h"
#include "tool_runner.h"

namespace kestrin::tool {
namespace {

using test::ScratchDirectory;

// 3---2
// | / |   two triangles and the square's corners
// 0---1
MeshData square() {
    MeshData mesh;
    mesh.points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    mesh.polygons = {{0, 1, 2}, {0, 2, 3}};
    return mesh;
}

TEST(WeightsCsv, HeaderThenOneRowPerPointWithNineSignificantDigits) {
    EXPECT_EQ(weightsCsv({1.0f / 3.0f, -1.0f, 0.0f, 0.63188f}),
              "point,weight\n0,0.333333343\n1,-1\n2,0\n3,0.631879985\n");
}

TEST(WeightsPly, AsciiHeaderDeclaresWeightAndColours) {
    const std::string ply = weightsPly(square(), {1.0f, 0.0f, -1.0f, 0.5f}, false);
    EXPECT_EQ(ply.substr(0, ply.find("end_header\n") + 11),
              "ply\nformat ascii 1.0\ncomment made by kestrin\nelement vertex 4\n"
              "property float x\nproperty float y\nproperty float z\nproperty float weight\n"
              "property uchar red\nproperty uchar green\nproperty uchar blue\n"
              "element face 2\nproperty list uchar int vertex_indices\nend_header\n");
    // Stretch is red, rest white, squash blue.
    EXPECT_NE(ply.find("\n0 0 0 1 178 24 43\n"), std::string::npos) << ply;
    EXPECT_NE(ply.find("\n1 0 0 0 255 255 255\n"), std::string::npos) << ply;
    EXPECT_NE(ply.find("\n1 1 0 -1 33 102 172\n"), std::string::npos) << ply;
    EXPECT_NE(ply.find("\n3 0 2 3\n"), std::string::npos) << ply;
}

TEST(WeightsPly, BinaryBodyHasFixedSizeRecords) {
    const std::string ply = weightsPly(square(), {0, 0, 0, 0}, true);
    const size_t body = ply.find("end_header\n") + 11;
    ASSERT_NE(ply.find("format binary_little_endian 1.0\n"), std::string::npos);
    // 4 points of 3 floats, a float and 3 bytes; 2 faces of a count byte and 3 ints.
    EXPECT_EQ(ply.size() - body, 4u * 19u + 2u * 13u);
}

TEST(MeshObj, RoundTripKeepsPointsAndPolygons) {
    ScratchDirectory scratch;
    MeshData mesh = square();
    mesh.points[2] = {0.1, 1e-17, -123456.789};
    mesh.polygons = {{0, 1, 2, 3}};
    writeFileAtomically(scratch.file("out.obj"), meshObj(mesh));
    const MeshData back = readObj(scratch.file("out.obj"));
    ASSERT_EQ(back.points.size(), 4u);
    EXPECT_EQ(back.points[2].x, 0.1);
    EXPECT_EQ(back.points[2].y, 1e-17);
    EXPECT_EQ(back.points[2].z, -123456.789);
    EXPECT_EQ(back.polygons, mesh.polygons);
}

TEST(AtomicFile, LeavesOnlyTheFinishedFile) {
    ScratchDirectory scratch;
    writeFileAtomically(scratch.file("a.csv"), "whole\n");
    EXPECT_EQ(scratch.entries(), std::vector<std::string>{"a.csv"});
    EXPECT_EQ(test::readText(scratch.file("a.csv")), "whole\n");
}

TEST(AtomicFile, FailureLeavesNothing) {
    ScratchDirectory scratch;
    EXPECT_THROW(writeFileAtomically(scratch.file("missing/a.csv"), "x"), ToolError);
    // A directory in the way of the rename: the temporary file goes again.
    std::filesystem::create_directory(scratch.file("taken"));
    std::filesystem::create_directory(scratch.file("taken/inside"));
    EXPECT_THROW(writeFileAtomically(scratch.file("taken"), "x"), ToolError);
    EXPECT_EQ(scratch.entries(), std::vector<std::string>{"taken"});
}

TEST(ResultFiles, ARunThatFailsLaterLeavesEarlierFilesAsTheyWere) {
    ScratchDirectory scratch;
    writeFileAtomically(scratch.file("w.csv"), "old\n");
    {
        // The second output cannot be written: its directory is missing.
        ResultFiles results({scratch.file("w.csv"), scratch.file("missing/w.ply")},
                            {OutputKind::csv, OutputKind::ply}, 1, false);
        EXPECT_THROW(results.writeWeights(1, square(), {0.5f, 0.f, 0.f, 0.f}), ToolError);
    }
    EXPECT_EQ(test::readText(scratch.file("w.csv")), "old\n");
    EXPECT_EQ(scratch.entries(), std::vector<std::string>{"w.csv"});
}

TEST(ResultFiles, CommitPutsEveryFileInPlace) {
    ScratchDirectory scratch;
    writeFileAtomically(scratch.file("w_0001.csv"), "old\n");
    ResultFiles results({scratch.file("w_%04d.csv")}, {OutputKind::csv}, 2, false);
    results.writeWeights(1, square(), {0.f, 0.f, 0.f, 0.f});
    results.writeWeights(2, square(), {1.f, 0.f, 0.f, 0.f});
    EXPECT_EQ(test::readText(scratch.file("w_0001.csv")), "old\n") << "nothing replaced before commit";
    results.commit();
    EXPECT_EQ(scratch.entries(), (std::vector<std::string>{"w_0001.csv", "w_0002.csv"}));
    EXPECT_EQ(test::readText(scratch.file("w_0001.csv")).substr(0, 12), "point,weight");
}

TEST(NumberedOutput, NumbersSeveralPosesAndFillsPatterns) {
    struct Case {
        const char* pattern;
        int number, count;
        const char* expected;
    };
    const Case cases[] = {
        {"out.csv", 1, 1, "out.csv"},
        {"out.csv", 2, 3, "out_0002.csv"},
        {"dir/out.ply", 12, 20, "dir/out_0012.ply"},
        {"frame_%04d.png", 7, 1, "frame_0007.png"},
        {"f%d.obj", 42, 50, "f42.obj"},
        {"100%%_%03d.csv", 5, 9, "100%_005.csv"},
    };
    for (const Case& c : cases) EXPECT_EQ(numberedOutput(c.pattern, c.number, c.count), c.expected);
    EXPECT_THROW(numberedOutput("out_%s.csv", 1, 1), ToolError);
    EXPECT_THROW(numberedOutput("%d_%d.csv", 1, 1), ToolError);
}

TEST(OutputKind, ByExtensionOrError) {
    EXPECT_EQ(outputKind("A.PNG", {OutputKind::csv, OutputKind::png}), OutputKind::png);
    EXPECT_THROW(outputKind("a.txt", {OutputKind::csv}), ToolError);
    EXPECT_THROW(outputKind("a.obj", {OutputKind::csv, OutputKind::ply}), ToolError);
}

TEST(ColourMap, DivergesFromWhiteAndScalesBeyondOne) {
    const Rgb white = divergingColour(0.0f, 1.0f);
    EXPECT_EQ(white.red + white.green + white.blue, 3 * 255);
    EXPECT_GT(divergingColour(0.5f, 1.0f).red, divergingColour(0.5f, 1.0f).blue);
    EXPECT_LT(divergingColour(-0.5f, 1.0f).red, divergingColour(-0.5f, 1.0f).blue);
    EXPECT_EQ(colourRange({0.5f, -0.2f}), 1.0f);
    EXPECT_EQ(colourRange({4.0f, -2.0f}), 4.0f);
}

TEST(HeatMap, DrawsStretchRedAndSquashBlueInsideTheImage) {
    // Left half squashed, right half stretched.
    MeshData mesh = square();
    mesh.polygons = {{0, 1, 2, 3}};
    const Image image = renderHeatMap(mesh, {-1.0f, 1.0f, 1.0f, -1.0f}, 400, 300);
    ASSERT_EQ(image.pixels.size(), 400u * 300u * 3u);
    int reddish = 0;
    int bluish = 0;
    for (size_t i = 0; i < image.pixels.size(); i += 3) {
        const int r = image.pixels[i], b = image.pixels[i + 2];
        reddish += r > b + 60;
        bluish += b > r + 60;
    }
    EXPECT_GT(reddish, 2000);
    EXPECT_GT(bluish, 2000);
    const std::string png = encodePng(image);
    EXPECT_EQ(png.substr(1, 3), "PNG");
}

}  // namespace
}  // namespace kestrin::tool
