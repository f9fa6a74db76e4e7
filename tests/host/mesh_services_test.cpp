// The mesh services: positions by state, a point's polygons in ascending
// order, and the count/capacity contract of both list calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "host.h"
#include "served.h"

namespace kestrin::test {
namespace {

namespace served = host::served;
using List = std::vector<int32_t>;

//   3-------2
//   |  p0  / \      polygon 0 (0, 1, 2, 3), polygon 1 (4, 2, 1),
//   |    /  p1\     polygon 2 (2, 4, 5, 4): lists point 4 twice
//   0---1------4--5
class MeshServices : public ::testing::Test {
protected:
    void SetUp() override {
        mesh = host.scene.addObject(
            "mesh", host::Mesh({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}, {3, 0, 0}},
                               {{0, 1, 2, 3}, {4, 2, 1}, {2, 4, 5, 4}}));
        map = host.scene.addWeightMap(mesh, "weights");
    }

    // A point's polygons through a buffer of `capacity` entries in a larger
    // one prefilled with -1; the count comes preset to -9.
    List pointPolys(HostHandle m, int32_t point, int32_t capacity, int32_t* count) {
        List buffer(8, -1);
        *count = -9;
        served::fxMeshPointPolys(m, point, buffer.data(), capacity, count, 0);
        return buffer;
    }

    List polyVertices(HostHandle m, int32_t polygon, int32_t capacity, int32_t* count) {
        List buffer(8, -1);
        int32_t extra = 0;
        *count = -9;
        served::fxMeshPoly(m, polygon, buffer.data(), capacity, count, &extra, 0);
        return buffer;
    }

    host::Host host;
    HostHandle mesh = 0;
    HostHandle map = 0;
};

// Buffer contents after a call with `capacity`: the first min(capacity,
// count) entries of the full list, the rest untouched.
List expectWritten(const List& full, int32_t capacity) {
    List out(8, -1);
    std::copy_n(full.begin(), std::clamp<int32_t>(capacity, 0, full.size()), out.begin());
    return out;
}

TEST_F(MeshServices, PointPolysAreAscendingAndListedOnce) {
    const List expected[] = {{0}, {0, 1}, {0, 1, 2}, {0}, {1, 2}, {2}};
    for (int32_t point = 0; point < 6; ++point) {
        int32_t count = 0;
        const List buffer = pointPolys(mesh, point, 8, &count);
        EXPECT_EQ(List(buffer.begin(), buffer.begin() + count), expected[point]) << point;
    }
}

TEST_F(MeshServices, ListsReportTheFullCountAndWriteAtMostCapacity) {
    for (int32_t capacity : {-1, 0, 1, 2, 3, 4, 8}) {
        SCOPED_TRACE(capacity);
        int32_t count = 0;
        EXPECT_EQ(pointPolys(mesh, 2, capacity, &count), expectWritten({0, 1, 2}, capacity));
        EXPECT_EQ(count, 3);
        EXPECT_EQ(polyVertices(mesh, 2, capacity, &count), expectWritten({2, 4, 5, 4}, capacity));
        EXPECT_EQ(count, 4);
    }
    int32_t count = -9;
    served::fxMeshPointPolys(mesh, 2, nullptr, 0, &count, 0);
    EXPECT_EQ(count, 3) << "the count alone, without a buffer";
}

TEST_F(MeshServices, OutOfRangeIndicesGiveEmptyListsAndZeroPositions) {
    const HostHandle notMeshes[] = {0, map, 999};
    for (int32_t point : {-1, 6, INT_MAX, INT_MIN}) {
        SCOPED_TRACE(point);
        int32_t count = 0;
        EXPECT_EQ(pointPolys(mesh, point, 8, &count), List(8, -1));
        EXPECT_EQ(count, 0);
        for (int32_t state : {0, 1}) {
            Point3 position{9, 9, 9};
            served::fxMeshPoint(mesh, point, &position, state);
            EXPECT_EQ(position.x, 0.0);
            EXPECT_EQ(position.y, 0.0);
            EXPECT_EQ(position.z, 0.0);
        }
    }
    for (int32_t polygon : {-1, 3, INT_MAX, INT_MIN}) {
        SCOPED_TRACE(polygon);
        int32_t count = 0;
        EXPECT_EQ(polyVertices(mesh, polygon, 8, &count), List(8, -1));
        EXPECT_EQ(count, 0);
    }
    for (HostHandle other : notMeshes) {
        SCOPED_TRACE(other);
        int32_t count = 0;
        EXPECT_EQ(pointPolys(other, 0, 8, &count), List(8, -1));
        EXPECT_EQ(count, 0);
        EXPECT_EQ(polyVertices(other, 0, 8, &count), List(8, -1));
        EXPECT_EQ(count, 0);
        count = -9;
        served::fxMeshNumPoints(other, &count, 0);
        EXPECT_EQ(count, 0);
        Point3 position{9, 9, 9};
        served::fxMeshPoint(other, 0, &position, 0);
        EXPECT_EQ(position.x, 0.0);
    }
}

TEST_F(MeshServices, StateZeroIsTheBaseStateOneTheCurrentPosition) {
    host.scene.object(mesh)->mesh.setCurrent(
        {{0, 0, 0}, {1, 0, 0}, {1, 2, 3}, {0, 1, 0}, {2, 0, 0}, {3, 0, 0}});
    Point3 base{}, current{};
    served::fxMeshPoint(mesh, 2, &base, 0);
    served::fxMeshPoint(mesh, 2, &current, 1);
    EXPECT_EQ(base.y, 1.0);
    EXPECT_EQ(base.z, 0.0);
    EXPECT_EQ(current.y, 2.0);
    EXPECT_EQ(current.z, 3.0);
    int32_t count = 0;
    served::fxMeshNumPoints(mesh, &count, 0);
    EXPECT_EQ(count, 6);
}

// A deformer's target shares its mesh's topology; each serves its own
// points, a copy shows its own positions where the original showed its own,
// and a mesh given new polygons leaves the one it shared them with alone.
TEST_F(MeshServices, MeshesSharingPolygonsKeepTheirOwnPositions) {
    host::Mesh& first = host.scene.object(mesh)->mesh;
    std::vector<Point3> raised = first.base().copy();
    for (Point3& p : raised) p.z += 10;
    const HostHandle target = host.scene.addObject("target", first.withPoints(raised));
    for (int32_t point = 0; point < 6; ++point) {
        int32_t mine = 0, theirs = 0;
        EXPECT_EQ(pointPolys(mesh, point, 8, &mine), pointPolys(target, point, 8, &theirs)) << point;
        EXPECT_EQ(mine, theirs);
        Point3 at{};
        served::fxMeshPoint(target, point, &at, 1);
        EXPECT_EQ(at.z, 10.0) << point;
    }

    std::vector<Point3> posed = first.base().copy();
    posed[2].z = 5;
    first.setCurrent(posed);
    host::Mesh copy = first;
    posed[2].z = 7;
    first.setCurrent(posed);
    EXPECT_EQ(copy.current()[2].z, 5.0);
    EXPECT_EQ(first.current()[2].z, 7.0);
    first.showBase();
    EXPECT_EQ(first.current()[2].z, 0.0);
    EXPECT_EQ(copy.current()[2].z, 5.0);

    host.scene.object(target)->mesh.reset(raised, {{0, 1, 2}});
    int32_t count = 0;
    EXPECT_EQ(polyVertices(mesh, 1, 8, &count), (List{4, 2, 1, -1, -1, -1, -1, -1}));
    EXPECT_EQ(polyVertices(target, 1, 8, &count), List(8, -1));
}

TEST_F(MeshServices, CallsAreRecordedWithTheirArguments) {
    host.log.enable(true);
    Point3 position{};
    int32_t count = 0;
    served::fxMeshPoint(mesh, 2, &position, 1);
    served::fxMeshPointPolys(mesh, 2, nullptr, 0, &count, 0);
    const std::string m = std::to_string(mesh);
    EXPECT_EQ(host.log.texts(), (std::vector<std::string>{"fxMeshPoint(" + m + ", 2, &, 1)",
                                                          "fxMeshPointPolys(" + m +
                                                              ", 2, null, 0, &, 0)"}));
}

}  // namespace
}  // namespace kestrin::test
