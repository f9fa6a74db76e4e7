// The OBJ reader keeps the file's point numbering and its polygons whole, and
// names the file and line of every fault.
#include <gtest/gtest.h>

#include "obj_reader.h"
#include "tool_error.h"
#include "tool_runner.h"

namespace kestrin::tool {
namespace {

using test::ScratchDirectory;
using test::writeText;

MeshData readText(const ScratchDirectory& scratch, const std::string& text) {
    writeText(scratch.file("mesh.obj"), text);
    return readObj(scratch.file("mesh.obj"));
}

// Normals and texture coordinates have their own numbering; the corners
// below use it on purpose, and only the first number of each is the point.
//
//   3---2
//   |   |   quad 4 1 2 3 (1-based), written with other vt/vn numbers
//   0---1
TEST(ObjReader, PointNumberingIgnoresNormalAndTextureIndices) {
    ScratchDirectory scratch;
    const MeshData mesh = readText(scratch,
                                   "vt 0 0\nvt 1 0\nvn 0 0 1\nvn 0 0 -1\n"
                                   "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                                   "f 4/2/1 1/1/2 2/2/2 3/1/1\n");
    ASSERT_EQ(mesh.points.size(), 4u);
    EXPECT_EQ(mesh.points[2].x, 1.0);
    EXPECT_EQ(mesh.points[2].y, 1.0);
    ASSERT_EQ(mesh.polygons.size(), 1u);
    EXPECT_EQ(mesh.polygons[0], (std::vector<int32_t>{3, 0, 1, 2}));
}

TEST(ObjReader, KeepsNgonsAndFaceOrderAcrossGroups) {
    ScratchDirectory scratch;
    const MeshData mesh = readText(scratch,
                                   "v 0 0 0\nv 1 0 0\nv 2 1 0\nv 1 2 0\nv 0 1 0\nv 5 5 5\n"
                                   "o first\nf 1 2 3 4 5\n"
                                   "g second\nusemtl other\nf 1 2 6\n"
                                   "g third\nf -6 -5 -4 -1\n");
    ASSERT_EQ(mesh.polygons.size(), 3u);
    EXPECT_EQ(mesh.polygons[0], (std::vector<int32_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(mesh.polygons[1], (std::vector<int32_t>{0, 1, 5}));
    EXPECT_EQ(mesh.polygons[2], (std::vector<int32_t>{0, 1, 2, 5}));
}

TEST(ObjReader, ReadsTheRealSpiderWithItsOwnNumbering) {
    const MeshData mesh = readObj(KESTRIN_TEST_DATA "/spider.obj");
    EXPECT_EQ(mesh.points.size(), 762u);
    ASSERT_EQ(mesh.polygons.size(), 1368u);
    // First face of the file: "f 1/1/1 2/2/2 3/3/3"; point 4 is "v 14.402298 32.891869 3.414829".
    EXPECT_EQ(mesh.polygons[0], (std::vector<int32_t>{0, 1, 2}));
    EXPECT_DOUBLE_EQ(mesh.points[3].y, 32.891869);
}

struct BadObj {
    const char* name;
    const char* text;
    const char* message;  // expected after "PATH"
};

class ObjReaderRejects : public testing::TestWithParam<BadObj> {};

TEST_P(ObjReaderRejects, NamingFileAndLine) {
    ScratchDirectory scratch;
    writeText(scratch.file("mesh.obj"), GetParam().text);
    try {
        readObj(scratch.file("mesh.obj"));
        FAIL() << "accepted";
    } catch (const ToolError& error) {
        EXPECT_EQ(std::string(error.what()).rfind(scratch.file("mesh.obj") + GetParam().message, 0), 0u)
            << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ObjReaderRejects,
    testing::Values(
        BadObj{"TwoCoordinates", "v 0 0 0\nv 1 2\n", ":2: a point line needs 3 coordinates"},
        BadObj{"Word", "# c\nv 1 x 2\n", ":2: 'x' is not a number"},
        BadObj{"NotANumber", "v nan 0 0\n", ":1: coordinate 'nan' is not a finite number"},
        BadObj{"Overflow", "v 1e999 0 0\n", ":1: coordinate '1e999' is not a finite number"},
        BadObj{"IndexOutOfRange", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n", ":4: face index 4 is out of range"},
        BadObj{"IndexZero", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 0 1 2\n", ":4: face index 0"},
        BadObj{"RelativeTooFar", "v 0 0 0\nv 1 0 0\nf -1 -2 -3\n", ":3: relative face index -3"},
        BadObj{"TwoCorners", "v 0 0 0\nv 1 0 0\nf 1 2\n", ":3: a face needs at least 3 corners"},
        BadObj{"BadCorner", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1/x 2 3\n", ":4: '1/x' is not a face corner"},
        BadObj{"NoPoints", "# nothing\n", ": no points"}),
    [](const testing::TestParamInfo<BadObj>& info) { return info.param.name; });

TEST(ObjReader, RejectsMissingFilesAndDirectories) {
    ScratchDirectory scratch;
    EXPECT_THROW(readObj(scratch.file("absent.obj")), ToolError);
    EXPECT_THROW(readObj(scratch.path().string()), ToolError);
}

}  // namespace
}  // namespace kestrin::tool
