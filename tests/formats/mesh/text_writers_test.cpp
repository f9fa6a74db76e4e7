// PLY and OBJ text: the exact layout, a corrected pose that is its own file
// with only the coordinates changed, and no "inf" or "nan" ever written by
// any text writer (CSV weights included).
#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "weights/csv_writer.h"
#include "mesh/obj_reader.h"
#include "mesh/obj_writer.h"
#include "mesh/ply_writer.h"
#include "files/format_error.h"
#include "files/number_text.h"
#include "tool_runner.h"

namespace kestrin::formats {
namespace {

using test::ScratchDirectory;
using test::writeText;

// 3---2
// | / |   two triangles and the square's corners
// 0---1
// The corrected text of `sourceText` as one string, as the tool's files get it
// in pieces.
std::string objWithPositions(std::string_view sourceText, const std::string& path, const Point3* points,
                             size_t count) {
    std::string text;
    StringSink sink(text);
    writeObjWithPositions(sourceText, path, points, count, sink);
    sink.flush();
    return text;
}

MeshData square() {
    MeshData mesh;
    mesh.points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    mesh.polygons.add({0, 1, 2});
    mesh.polygons.add({0, 2, 3});
    return mesh;
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

TEST(Writers, RefuseValuesThatWouldWriteInfOrNan) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    MeshData notFinite = square();
    notFinite.points[2].y = nan;
    MeshData tooLargeForFloat = square();
    tooLargeForFloat.points[3].z = -1e300;
    MeshData infinite = square();
    infinite.points[1].x = inf;
    const std::vector<float> weights = {0, 0, 0, 0};
    const std::vector<float> nanWeight = {0, 0, 0, std::numeric_limits<float>::quiet_NaN()};
    struct Case {
        const char* name;
        std::function<std::string()> write;
        const char* message;
    };
    const Case cases[] = {
        {"csv weight", [&] { return weightsCsv(nanWeight); }, "point 3: weight"},
        {"ply weight", [&] { return weightsPly(square(), nanWeight, false); }, "point 3: weight"},
        {"ply nan", [&] { return meshPly(notFinite, true); }, "point 2: coordinate"},
        {"ply beyond float", [&] { return weightsPly(tooLargeForFloat, weights, false); }, "point 3: coordinate"},
        {"obj made here", [&] { return meshObj(infinite); }, "point 1: coordinate"},
        {"obj of a file", [&] { return objWithPositions("v 0 0 0\n", "in.obj", &infinite.points[1], 1); },
         "point 0: coordinate"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            const std::string text = c.write();
            ADD_FAILURE() << "wrote " << text;
        } catch (const FormatError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(c.message, 0), 0u) << error.what();
        }
    }
}

TEST(MeshObj, MadeHereRoundTripsPointsAndPolygons) {
    ScratchDirectory scratch;
    MeshData mesh = square();
    mesh.points[2] = {0.1, 1e-17, -123456.789};
    mesh.points[3] = {1.0 / 3.0, 5e-324, 9.999999999999999e17};
    writeText(scratch.file("out.obj"), meshObj(mesh));
    const MeshData back = readObj(scratch.file("out.obj"));
    ASSERT_EQ(back.points.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(back.points[i].x, mesh.points[i].x);
        EXPECT_EQ(back.points[i].y, mesh.points[i].y);
        EXPECT_EQ(back.points[i].z, mesh.points[i].z);
    }
    EXPECT_EQ(back.polygons, mesh.polygons);
}

// Everything of the pose file but its coordinates is written back byte for
// byte: comments, normals, UVs, groups, materials, corners with their
// slashes, odd spacing, a point's w and colour fields, CRLF and a last line
// without its newline.
TEST(MeshObj, CorrectedPoseIsThePoseFileWithOnlyTheCoordinatesChanged) {
    const std::string pose =
        "# exported\r\nmtllib skin.mtl\r\no body\r\nv 0 0 0\r\nv  1.000000\t0.0 0 1.0\r\n"
        "v 1 1 0 0.5 0.25 0.125 # coloured\r\nvt 0 0\r\nvn 0 0 1\r\nv 0 1 0\r\ng arm\r\n"
        "usemtl skin\r\ns 1\r\nf 1/1/1 2/1/1 3/1/1\r\nf 1//1 3//1 4//1";
    const std::vector<Point3> moved = {{0.1, 0.2, 0.3}, {1.5, -0.0, 2e-9}, {3, 4, 5}, {-1, -2, -1e17}};
    const std::string expected =
        "# exported\r\nmtllib skin.mtl\r\no body\r\nv 0.1 0.2 0.3\r\nv  1.5\t-0 2e-09 1.0\r\n"
        "v 3 4 5 0.5 0.25 0.125 # coloured\r\nvt 0 0\r\nvn 0 0 1\r\nv -1 -2 -1e+17\r\ng arm\r\n"
        "usemtl skin\r\ns 1\r\nf 1/1/1 2/1/1 3/1/1\r\nf 1//1 3//1 4//1";
    EXPECT_EQ(objWithPositions(pose, "pose.obj", moved.data(), moved.size()), expected);

    // Through meshObj, a mesh read from the file writes the file's own lines.
    ScratchDirectory scratch;
    writeText(scratch.file("pose.obj"), pose);
    MeshData read = readObj(scratch.file("pose.obj"));
    read.points = moved;
    EXPECT_EQ(meshObj(read, pose), expected);
    writeText(scratch.file("out.obj"), expected);
    const MeshData back = readObj(scratch.file("out.obj"));
    EXPECT_EQ(back.points[3].z, -1e17);
    EXPECT_EQ(back.polygons, read.polygons);

    // A file many times the writer's buffer: its pieces join up exactly
    // (lines cut across pieces, and a tail of faces passed on whole).
    std::string big;
    std::vector<Point3> same;
    for (int i = 0; i < 20000; ++i) {
        same.push_back({i * 0.1, -i / 3.0, 1e-7 * i});
        big += "v " + shortestText(same.back().x) + "  " + shortestText(same.back().y) + "\t" +
               shortestText(same.back().z) + "\r\n";
    }
    for (int i = 1; i + 2 < 20000; ++i) big += "f " + std::to_string(i) + " " + std::to_string(i + 2) + "\n";
    ASSERT_GT(big.size(), 8 * ByteSink::capacity);
    EXPECT_EQ(objWithPositions(big, "big.obj", same.data(), same.size()), big);

    // Positions for another number of points are refused.
    EXPECT_THROW(objWithPositions(pose, "pose.obj", moved.data(), 3), FormatError);
    EXPECT_THROW(objWithPositions(pose + "\nv 0 0 0\n", "pose.obj", moved.data(), 4), FormatError);
}

}  // namespace
}  // namespace kestrin::formats
