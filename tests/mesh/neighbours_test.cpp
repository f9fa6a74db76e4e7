// collectNeighbours, built as in the plug-ins and bound to the simulator the
// way a plug-in binds at entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "host.h"
#include "messages.h"
#include "neighbours.h"
#include "neighbours_probe.h"

namespace kestrin::test {
namespace {

using Polygons = std::vector<std::vector<int32_t>>;

HostFunction simulatorLookup(const char* name, uint32_t groupBits) {
    return host::Host::active()->lookup(name, groupBits);
}

class Neighbours : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(probeBind(&simulatorLookup), 1);
        probeResetAllocations();
    }

    void TearDown() override {
        EXPECT_EQ(probeLiveAllocations(), 0) << "a block was leaked";
        EXPECT_EQ(probeOverruns(), 0) << "a block was written past its end";
    }

    HostHandle addMesh(int32_t points, const Polygons& polygons) {
        return host.scene.addObject("mesh", host::Mesh(std::vector<Point3>(points), polygons));
    }

    // The neighbour list of a point, collected in full; `count` comes preset
    // to -7 so that a count left untouched shows.
    std::vector<int32_t> neighbours(HostHandle mesh, int32_t point, int32_t* count = nullptr) {
        int32_t local = -7;
        int32_t* out = count != nullptr ? count : &local;
        int32_t* list = nullptr;
        EXPECT_EQ(probeCollectNeighbours(mesh, point, &list, out), NEIGHBOURS_COLLECTED);
        std::vector<int32_t> result;
        if (list != nullptr) result.assign(list, list + *out);
        probeFree(list);
        return result;
    }

    // Expects the answer for a point without neighbours, or for an exhausted
    // heap: no list, the count as preset.
    void expectNoList(HostHandle mesh, int32_t point, int32_t expectedResult) {
        int32_t count = -7;
        int32_t* list = &count;
        EXPECT_EQ(probeCollectNeighbours(mesh, point, &list, &count), expectedResult);
        EXPECT_EQ(list, nullptr);
        EXPECT_EQ(count, -7);
    }

    host::Host host;
};

using List = std::vector<int32_t>;

//   a(0)
//   |   `.
//   c(2)--b(1)    one polygon (a, b, c)
TEST_F(Neighbours, LoneTrianglePointGetsPredecessorThenSuccessor) {
    const HostHandle mesh = addMesh(3, {{0, 1, 2}});
    EXPECT_EQ(neighbours(mesh, 0), (List{2, 1}));
    EXPECT_EQ(neighbours(mesh, 1), (List{0, 2}));
    EXPECT_EQ(neighbours(mesh, 2), (List{1, 0}));
}

//   a(1)---p(0)---c(3)
//      \   |   /
//        b(2)         polygons (p, a, b) then (p, b, c)
TEST_F(Neighbours, SharedPointKeepsFirstSeenOrderAndDropsRepeats) {
    const HostHandle mesh = addMesh(4, {{0, 1, 2}, {0, 2, 3}});
    int32_t count = -7;
    EXPECT_EQ(neighbours(mesh, 0, &count), (List{2, 1, 3}));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(neighbours(mesh, 2), (List{1, 0, 3}));
}

// p(0)---q(1)   one two-vertex polygon (p, q)
TEST_F(Neighbours, TwoVertexPolygonGivesTheOtherPointOnce) {
    const HostHandle mesh = addMesh(2, {{0, 1}});
    EXPECT_EQ(neighbours(mesh, 0), (List{1}));
    EXPECT_EQ(neighbours(mesh, 1), (List{0}));
}

// p(0) alone, q(1)-r(2)-s(3) a triangle that does not use it.
TEST_F(Neighbours, PointWithoutPolygonsReturnsNullAndLeavesCountAlone) {
    const HostHandle mesh = addMesh(4, {{1, 2, 3}});
    for (int32_t point : {0, -1, 4, 1000}) {
        SCOPED_TRACE(point);
        expectNoList(mesh, point, NEIGHBOURS_COLLECTED);
    }
    EXPECT_EQ(probeAllocationAttempts(), 0) << "nothing to allocate for a point without polygons";
}

// A polygon (p) of one vertex has no edge; next to a triangle (p, a, b) it
// adds nothing to the triangle's pair.
TEST_F(Neighbours, SingleVertexPolygonContributesNothing) {
    const HostHandle lone = addMesh(1, {{0}});
    expectNoList(lone, 0, NEIGHBOURS_COLLECTED);

    const HostHandle mixed = addMesh(3, {{0}, {0, 1, 2}, {0}});
    EXPECT_EQ(neighbours(mixed, 0), (List{2, 1}));
}

// Polygons that pass through p more than once: each occurrence adds a pair,
// more than the one pair per polygon the buffer starts with.
//   (p, a, p, b)          pairs (b, a) (a, b)
//   (p, a, p, b, p, c)    pairs (c, a) (a, b) (b, c)
TEST_F(Neighbours, PointListedSeveralTimesGrowsThePairsWithoutOverrun) {
    struct Case {
        Polygons polygons;
        List expected;
    };
    const Case cases[] = {
        {{{0, 1, 0, 2}}, {2, 1}},
        {{{0, 1, 0, 2, 0, 3}}, {3, 1, 2}},
        {{{0, 0}}, {0}},
        {{{1, 0, 2, 0}, {0, 3, 0, 4, 0, 5}, {5, 6, 0}}, {1, 2, 5, 3, 4, 6}},
    };
    for (const Case& c : cases) {
        const HostHandle mesh = addMesh(7, c.polygons);
        EXPECT_EQ(neighbours(mesh, 0), c.expected);
    }
}

// A 3x3 grid of points, 2x2 quads, and a closed cube: every point's list is
// exactly the set of points it shares an edge with, each once.
//   6-7-8
//   | | |
//   3-4-5
//   | | |
//   0-1-2
TEST_F(Neighbours, ResultIsTheDistinctEdgeNeighbours) {
    const Polygons grid = {{0, 1, 4, 3}, {1, 2, 5, 4}, {3, 4, 7, 6}, {4, 5, 8, 7}};
    const Polygons cube = {{0, 1, 2, 3}, {4, 7, 6, 5}, {0, 4, 5, 1},
                           {1, 5, 6, 2}, {2, 6, 7, 3}, {3, 7, 4, 0}};
    for (const Polygons* polygons : {&grid, &cube}) {
        const int32_t points = polygons == &grid ? 9 : 8;
        const HostHandle mesh = addMesh(points, *polygons);
        for (int32_t point = 0; point < points; ++point) {
            std::set<int32_t> edges;
            for (const auto& polygon : *polygons) {
                const int32_t n = static_cast<int32_t>(polygon.size());
                for (int32_t k = 0; k < n; ++k) {
                    if (polygon[k] != point) continue;
                    edges.insert(polygon[(k + n - 1) % n]);
                    edges.insert(polygon[(k + 1) % n]);
                }
            }
            int32_t count = -7;
            const List list = neighbours(mesh, point, &count);
            EXPECT_EQ(count, static_cast<int32_t>(list.size()));
            EXPECT_EQ(std::set<int32_t>(list.begin(), list.end()), edges) << "point " << point;
            EXPECT_EQ(list.size(), edges.size()) << "duplicates at point " << point;
        }
    }
}

// The host is asked for the count with a one-entry buffer first, then for the
// list with room for exactly that count, polygon by polygon.
TEST_F(Neighbours, AsksTheHostForCountsThenForExactlySizedLists) {
    const HostHandle mesh = addMesh(4, {{0, 1, 2}, {0, 2, 3, 1}});
    host.log.enable(true);
    neighbours(mesh, 0);
    const std::string m = std::to_string(mesh);
    EXPECT_EQ(host.log.texts(), (std::vector<std::string>{
                                    "fxMeshPointPolys(" + m + ", 0, &, 1, &, 0)",
                                    "fxMeshPointPolys(" + m + ", 0, &, 2, &, 0)",
                                    "fxMeshPoly(" + m + ", 0, &, 1, &, &, 0)",
                                    "fxMeshPoly(" + m + ", 0, &, 3, &, &, 0)",
                                    "fxMeshPoly(" + m + ", 1, &, 1, &, &, 0)",
                                    "fxMeshPoly(" + m + ", 1, &, 4, &, &, 0)",
                                }));
}

// A host whose polygon list names a polygon that does not pass through the
// point: that polygon adds nothing.
int32_t disagreeingPointPolys(HostHandle, int32_t point, int32_t* polygons, int32_t capacity,
                              int32_t* count, int32_t) {
    // Point 0 claims polygons 1 and 0, point 3 claims polygon 0 only; polygon
    // 0 is (0, 1, 2) and polygon 1 is (1, 2, 3).
    const List claimed = point == 0 ? List{1, 0} : List{0};
    *count = static_cast<int32_t>(claimed.size());
    std::copy_n(claimed.begin(), std::min<int32_t>(capacity, *count), polygons);
    return 0;
}

HostFunction disagreeingLookup(const char* name, uint32_t groupBits) {
    if (std::string(name) == "fxMeshPointPolys") {
        return reinterpret_cast<HostFunction>(&disagreeingPointPolys);
    }
    return simulatorLookup(name, groupBits);
}

TEST_F(Neighbours, PolygonsThatDoNotListThePointAddNothing) {
    const HostHandle mesh = addMesh(4, {{0, 1, 2}, {1, 2, 3}});
    ASSERT_EQ(probeBind(&disagreeingLookup), 1);
    EXPECT_EQ(neighbours(mesh, 0), (List{2, 1}));
    expectNoList(mesh, 3, NEIGHBOURS_COLLECTED);
}

// An ordinary point keeps its working lists on the stack: its only heap block
// is the result, even when a polygon passes through it twice.
TEST_F(Neighbours, OrdinaryPointAllocatesOnlyItsResult) {
    const HostHandle mesh = addMesh(4, {{0, 1, 0, 2}, {0, 2, 3}});
    EXPECT_EQ(neighbours(mesh, 0), (List{2, 1, 3}));
    EXPECT_EQ(probeAllocationAttempts(), 1);
}

// 100 triangles around p (0), each sharing an edge with the next: 200 pairs,
// nearly all repeats, filtered through the hash set that keeps a point of
// high valence linear. First-seen order as for a short list.
TEST_F(Neighbours, HighValencePointKeepsFirstSeenOrder) {
    Polygons fan;
    for (int32_t i = 0; i < 100; ++i) fan.push_back({0, 1 + i, 1 + (i + 1) % 100});
    const HostHandle mesh = addMesh(101, fan);
    List expected = {2, 1};
    for (int32_t v = 3; v <= 100; ++v) expected.push_back(v);
    int32_t count = -7;
    EXPECT_EQ(neighbours(mesh, 0, &count), expected);
    EXPECT_EQ(count, 100);
    EXPECT_EQ(neighbours(mesh, 1), (List{0, 2, 100}));
}

// A point past the stack storage on every count: 32 triangles and a
// 40-vertex polygon that passes through it twice, so 33 polygons, a long
// vertex list, pairs that grow (68 entries in room for 66) and more pairs than
// the short filter takes.
// Whichever allocation fails (the polygon list, the pairs, the long vertex
// list, growing the pairs, the filter's set or the result), the answer is
// "out of memory", never a point without neighbours; no list, the count is
// left alone and nothing is leaked.
TEST_F(Neighbours, AllocationFailureAnywhereReportsOutOfMemoryWithoutLeaks) {
    Polygons polygons;
    List expected;
    for (int32_t i = 0; i < 32; ++i) {
        polygons.push_back({0, 1 + 2 * i, 2 + 2 * i});
        expected.insert(expected.end(), {2 + 2 * i, 1 + 2 * i});
    }
    List ring = {0};
    for (int32_t v = 100; v < 119; ++v) ring.push_back(v);
    ring.push_back(0);
    for (int32_t v = 119; v < 139; ++v) ring.push_back(v);
    polygons.push_back(ring);
    expected.insert(expected.end(), {138, 100, 118, 119});
    const HostHandle mesh = addMesh(140, polygons);

    EXPECT_EQ(neighbours(mesh, 0), expected);
    const int32_t attempts = probeAllocationAttempts();
    ASSERT_EQ(attempts, 6) << "polygons, pairs, long vertex list, growth, filter set, result";

    for (int32_t failing = 0; failing < attempts; ++failing) {
        SCOPED_TRACE(failing);
        probeResetAllocations();
        probeFailAllocation(failing);
        expectNoList(mesh, 0, NEIGHBOURS_OUT_OF_MEMORY);
        EXPECT_EQ(probeLiveAllocations(), 0);
    }
}

}  // namespace
}  // namespace kestrin::test
