// The OBJ reader keeps the file's point numbering and its polygons whole,
// names the file and line of every fault, and reads poses against their rest
// mesh.
#include <gtest/gtest.h>

#include "mesh/obj_reader.h"
#include "files/format_error.h"
#include "tool_runner.h"

namespace kestrin::formats {
namespace {

using test::ScratchDirectory;
using test::writeText;

MeshData readText(const ScratchDirectory& scratch, const std::string& text) {
    writeText(scratch.file("mesh.obj"), text);
    return readObj(scratch.file("mesh.obj"));
}

std::vector<int32_t> polygon(const MeshData& mesh, size_t face) {
    return {mesh.polygons.begin(face), mesh.polygons.begin(face) + mesh.polygons.count(face)};
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
    EXPECT_EQ(polygon(mesh, 0), (std::vector<int32_t>{3, 0, 1, 2}));
}

TEST(ObjReader, KeepsNgonsAndFaceOrderAcrossGroups) {
    ScratchDirectory scratch;
    const MeshData mesh = readText(scratch,
                                   "v 0 0 0\nv 1 0 0\nv 2 1 0\nv 1 2 0\nv 0 1 0\nv 5 5 5\n"
                                   "o first\nf 1 2 3 4 5\n"
                                   "g second\nusemtl other\nf 1 2 6\n"
                                   "g third\nf -6 -5 -4 -1\n");
    ASSERT_EQ(mesh.polygons.size(), 3u);
    EXPECT_EQ(polygon(mesh, 0), (std::vector<int32_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(polygon(mesh, 1), (std::vector<int32_t>{0, 1, 5}));
    EXPECT_EQ(polygon(mesh, 2), (std::vector<int32_t>{0, 1, 2, 5}));
}

TEST(ObjReader, ReadsTheRealSpiderWithItsOwnNumbering) {
    const MeshData mesh = readObj(KESTRIN_TEST_DATA "/spider.obj");
    EXPECT_EQ(mesh.points.size(), 762u);
    ASSERT_EQ(mesh.polygons.size(), 1368u);
    // First face of the file: "f 1/1/1 2/2/2 3/3/3"; point 4 is "v 14.402298 32.891869 3.414829".
    EXPECT_EQ(polygon(mesh, 0), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_DOUBLE_EQ(mesh.points[3].y, 32.891869);
}

struct BadObj {
    const char* name;
    const char* text;
    const char* message;  // expected after "PATH"
};

class ObjReaderRejects : public testing::TestWithParam<BadObj> {};

// A target shape read for its points alone is refused for the same faults,
// its faces' included.
TEST_P(ObjReaderRejects, NamingFileAndLine) {
    ScratchDirectory scratch;
    writeText(scratch.file("mesh.obj"), GetParam().text);
    for (bool pointsOnly : {false, true}) {
        try {
            if (pointsOnly) {
                readObjPoints(scratch.file("mesh.obj"));
            } else {
                readObj(scratch.file("mesh.obj"));
            }
            ADD_FAILURE() << "accepted, points only: " << pointsOnly;
        } catch (const FormatError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(scratch.file("mesh.obj") + GetParam().message, 0), 0u)
                << error.what();
        }
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
        BadObj{"NoPoints", "# nothing\n", ": no points"},
        BadObj{"Absurd", "v 0 0 0\nv 0 -2e18 0\n", ":2: coordinate '-2e18' is too large"},
        BadObj{"HexFloat", "v 0x1p3 0 0\n", ":1: '0x1p3' is not a number"},
        BadObj{"DoubleSign", "v +-1 0 0\n", ":1: '+-1' is not a number"},
        BadObj{"ForwardIndexTooFar", "f 1 2 5\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\n",
               ":1: face index 5 is out of range (the file has 4 points)"}),
    [](const testing::TestParamInfo<BadObj>& info) { return info.param.name; });

// Numbers read exactly as strtod reads them, signs and exponents included,
// and a point's w and colour fields are allowed but not kept.
TEST(ObjReader, ReadsCoordinatesCorrectlyRounded) {
    ScratchDirectory scratch;
    const MeshData mesh = readText(scratch, "v 0.6 +1e-300 -123456.789e-3 1\nv 1e18 .5 5. 0.1 0.2 0.3\r\n");
    ASSERT_EQ(mesh.points.size(), 2u);
    EXPECT_EQ(mesh.points[0].x, 0.6);
    EXPECT_EQ(mesh.points[0].y, 1e-300);
    EXPECT_EQ(mesh.points[0].z, -123.456789);
    EXPECT_EQ(mesh.points[1].x, 1e18);
    EXPECT_EQ(mesh.points[1].y, 0.5);
    EXPECT_EQ(mesh.points[1].z, 5.0);
}

// 3---2
// | / |   the rest square; poses below are read against it
// 0---1
const char* const restSquare = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3\nf 1 3 4\n";

TEST(ObjPose, WithPointsOnlyTakesTheRestFaces) {
    ScratchDirectory scratch;
    writeText(scratch.file("rest.obj"), restSquare);
    writeText(scratch.file("pose.obj"), "v 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\n");
    const ObjMesh rest = readObj(scratch.file("rest.obj"));
    const MeshData pose = readPose(scratch.file("pose.obj"), rest);
    EXPECT_EQ(pose.polygons, rest.polygons);
    EXPECT_EQ(pose.points[2].z, 1.0);
    std::vector<Point3> positions(100);
    FileBytes bytes;
    readObjPositions(scratch.file("pose.obj"), rest, positions, bytes);
    ASSERT_EQ(positions.size(), 4u);
    EXPECT_EQ(positions[3].y, 1.0);
}

TEST(ObjPose, RefusesOtherFacesOrPointCountsNamingBothFiles) {
    struct Case {
        const char* name;
        const char* pose;
        const char* message;  // after the pose's path
    };
    const Case cases[] = {
        {"other corners", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n# c\nf 1 2 3\nf 1 4 3\n",
         ":7: face 2 of the pose differs from face 2 of the rest mesh REST"},
        {"negative indices naming other points", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf -4 -3 -1\n",
         ":5: face 1 of the pose differs from face 1 of the rest mesh REST"},
        {"a face more", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3\nf 1 3 4\nf 2 3 4\n",
         ":7: face 3 of the pose is beyond the last face of the rest mesh REST"},
        // The rest file's closing faces, but after an extra face of its own.
        {"a face before the last point", "v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\nv 0 1 0\nf 1 2 3\nf 1 3 4\n",
         ":6: face 2 of the pose differs from face 2 of the rest mesh REST"},
        {"a face less", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3\n",
         ": the pose has 1 faces but the rest mesh REST has 2"},
        {"a point less", "v 0 0 0\nv 1 0 0\nv 1 1 0\n",
         ": the pose has 3 points but the rest mesh REST has 4"},
    };
    ScratchDirectory scratch;
    writeText(scratch.file("rest.obj"), restSquare);
    const ObjMesh rest = readObj(scratch.file("rest.obj"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeText(scratch.file("pose.obj"), c.pose);
        std::string expected = scratch.file("pose.obj") + c.message;
        expected.replace(expected.find("REST"), 4, rest.path);
        for (int way = 0; way < 2; ++way) {
            try {
                std::vector<Point3> positions;
                FileBytes bytes;
                if (way == 0) readPose(scratch.file("pose.obj"), rest);
                if (way == 1) readObjPositions(scratch.file("pose.obj"), rest, positions, bytes);
                ADD_FAILURE() << "accepted";
            } catch (const FormatError& error) {
                EXPECT_EQ(std::string(error.what()).rfind(expected, 0), 0u) << error.what();
            }
        }
    }
}

TEST(ObjReader, RejectsMissingFilesAndDirectories) {
    ScratchDirectory scratch;
    EXPECT_THROW(readObj(scratch.file("absent.obj")), FormatError);
    EXPECT_THROW(readObj(scratch.path().string()), FormatError);
}

}  // namespace
}  // namespace kestrin::formats
