// The direct computation itself: neighbour order, rest lengths and the worked
// values of the weight and displacement formulas. The benchmarks compare the
// plug-ins with it, so it must be right on its own.
#include <math.h>

#include <vector>

#include <gtest/gtest.h>

#include "meshes.h"
#include "reference.h"

namespace kestrin::bench {
namespace {

MeshData meshOf(int32_t points, std::initializer_list<std::initializer_list<int32_t>> polygons) {
    MeshData mesh;
    for (int32_t i = 0; i < points; ++i) mesh.rest.push_back({double(i), double(i * i), 0.0});
    for (const auto& polygon : polygons) mesh.addPolygon(polygon);
    mesh.pose = mesh.rest;
    return mesh;
}

std::vector<int32_t> listOf(const Neighbours& neighbours, int32_t point) {
    return std::vector<int32_t>(neighbours.points.begin() + neighbours.start[point],
                                neighbours.points.begin() + neighbours.start[point + 1]);
}

using List = std::vector<int32_t>;

TEST(ReferenceNeighbours, LoneTriangleGivesPredecessorThenSuccessor) {
    // 0 - 1
    //  \ /
    //   2        one triangle (0, 1, 2)
    const Neighbours n = buildNeighbours(meshOf(3, {{0, 1, 2}}));
    EXPECT_EQ(listOf(n, 0), (List{2, 1}));
    EXPECT_EQ(listOf(n, 1), (List{0, 2}));
    EXPECT_EQ(listOf(n, 2), (List{1, 0}));
}

TEST(ReferenceNeighbours, KeepsFirstSeenOrderAcrossPolygons) {
    // Point 0 in triangles (0, 1, 2) then (0, 2, 3): pairs (2, 1), (3, 2).
    const Neighbours n = buildNeighbours(meshOf(4, {{0, 1, 2}, {0, 2, 3}}));
    EXPECT_EQ(listOf(n, 0), (List{2, 1, 3}));
    EXPECT_EQ(listOf(n, 2), (List{1, 0, 3}));
}

TEST(ReferenceNeighbours, OddPolygonsAndUnusedPoints) {
    // A two-vertex polygon (0, 1) gives (1, 1) -> 1; a one-vertex polygon
    // nothing; a polygon naming point 2 twice gives a pair per occurrence;
    // point 5 is in no polygon.
    const Neighbours n = buildNeighbours(meshOf(6, {{0, 1}, {4}, {2, 3, 2, 4}}));
    EXPECT_EQ(listOf(n, 0), (List{1}));
    EXPECT_EQ(listOf(n, 1), (List{0}));
    EXPECT_EQ(listOf(n, 2), (List{4, 3}));
    EXPECT_EQ(listOf(n, 4), (List{2}));
    EXPECT_EQ(n.count(5), 0);
}

TEST(ReferenceNeighbours, FanCentreListsEveryRimPointOnce) {
    const MeshData mesh = fan(1000);
    const Neighbours n = buildNeighbours(mesh);
    ASSERT_EQ(n.count(0), 1000);
    // Triangle i is (0, 1 + i, 1 + (i + 1) % 1000): pair (rim i+1, rim i).
    EXPECT_EQ(listOf(n, 0)[0], 2);
    EXPECT_EQ(listOf(n, 0)[1], 1);
    EXPECT_EQ(listOf(n, 0)[2], 3);
    EXPECT_EQ(listOf(n, 1), (List{0, 2, 1000}));  // triangles 0 and 999
}

TEST(ReferenceLengths, InteriorGridPointHasUnitRestLength) {
    const MeshData grid = quadGrid(5, 5);
    const Neighbours n = buildNeighbours(grid);
    std::vector<double> rest(grid.pointCount());
    meanEdgeLengths(n, grid.rest.data(), rest.data());
    EXPECT_EQ(n.count(12), 4);
    EXPECT_EQ(rest[12], 1.0);
}

// One interior point of a unit grid whose current shape is the rest shape
// scaled by r about the origin.
float weightAtScale(double r, const WeightSettings& settings) {
    MeshData grid = quadGrid(3, 3);
    for (size_t i = 0; i < grid.rest.size(); ++i) {
        grid.pose[i] = {grid.rest[i].x * r, grid.rest[i].y * r, grid.rest[i].z * r};
    }
    const Neighbours n = buildNeighbours(grid);
    std::vector<double> rest(grid.pointCount());
    meanEdgeLengths(n, grid.rest.data(), rest.data());
    std::vector<float> weights(grid.pointCount());
    tensionWeights(n, rest.data(), grid.pose.data(), settings, weights.data());
    return weights[4];
}

TEST(ReferenceWeights, WorkedValuesAtTheDefaults) {
    const struct {
        double r;
        float expected;
    } cases[] = {{1.0, 0.0f},      {2.0, 1.0f},       {4.0, 1.0f},       {0.5, -1.0f},
                 {0.25, -1.0f},    {1.5, 0.63188f},   {0.75, -0.36812f}, {1.1, 0.04593f},
                 {0.9, -0.05593f}};
    for (const auto& c : cases) {
        EXPECT_NEAR(weightAtScale(c.r, WeightSettings()), c.expected, 5e-6) << "r = " << c.r;
    }
}

TEST(ReferenceWeights, SwitchAndOnlyPositiveApplyAfterClamping) {
    WeightSettings switched;
    switched.switchMode = 1;
    EXPECT_NEAR(weightAtScale(1.5, switched), -0.63188f, 5e-6);
    WeightSettings positive;
    positive.onlyPositive = 1;
    EXPECT_EQ(weightAtScale(0.75, positive), 0.0f);
    EXPECT_NEAR(weightAtScale(1.5, positive), 0.63188f, 5e-6);
    WeightSettings unclamped;
    unclamped.clampValues = 0;
    unclamped.preMultiplier = unclamped.postMultiplier = 1.0;
    EXPECT_EQ(weightAtScale(2.0, unclamped), 4.0f);
    EXPECT_EQ(weightAtScale(0.5, unclamped), -4.0f);
}

// Displacement of the centre of a 3 x 3 grid scaled by r, with identity frames
// and targets one unit up (stretch) and down (squash).
Point3 displacedCentre(double r, const MorphSettings& settings) {
    MeshData grid = quadGrid(3, 3);
    for (size_t i = 0; i < grid.rest.size(); ++i) {
        grid.pose[i] = {grid.rest[i].x * r, grid.rest[i].y * r, grid.rest[i].z * r};
    }
    const int32_t n = grid.pointCount();
    const Neighbours neighbours = buildNeighbours(grid);
    std::vector<double> rest(n), tensions(n);
    meanEdgeLengths(neighbours, grid.rest.data(), rest.data());
    std::vector<Point3> up = offsetTarget(grid, {0, 0, 1}), down = offsetTarget(grid, {0, 0, -1});
    std::vector<Point3> stretch(n), squash(n), out(n);
    targetDeltas(n, grid.rest.data(), up.data(), nullptr, stretch.data());
    targetDeltas(n, grid.rest.data(), down.data(), nullptr, squash.data());
    displace(neighbours, rest.data(), grid.pose.data(), nullptr, stretch.data(), squash.data(),
             nullptr, settings, tensions.data(), out.data());
    return {out[4].x - grid.pose[4].x, out[4].y - grid.pose[4].y, out[4].z - grid.pose[4].z};
}

TEST(ReferenceDisplace, MovesByTheShapedTension) {
    EXPECT_EQ(displacedCentre(1.0, MorphSettings()).z, 0.0);
    EXPECT_EQ(displacedCentre(2.0, MorphSettings()).z, 1.0);
    EXPECT_EQ(displacedCentre(0.5, MorphSettings()).z, -1.0);
    EXPECT_NEAR(displacedCentre(1.5, MorphSettings()).z, 0.632, 5e-4);
    MorphSettings flat;
    flat.exponent = 0.0;
    EXPECT_EQ(displacedCentre(1.01, flat).z, 1.0);
    EXPECT_EQ(displacedCentre(0.99, flat).z, -1.0);
}

}  // namespace
}  // namespace kestrin::bench
