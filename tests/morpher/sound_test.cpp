// What the effect does where a literal reading would call a missing function,
// divide by zero, read past the rest state or hand the host a position that
// is not a number.
#include <cmath>

#include "messages.h"
#include "strainshaper_fixture.h"

namespace kestrin::test {
namespace {

// Every fxDisplacePoint of the log carried finite coordinates.
void expectOnlyFinitePositions(const host::Host& host) {
    for (const host::HostCall& call : host.log.calls()) {
        if (call.function != "fxDisplacePoint") continue;
        for (size_t k = 2; k < 5; ++k) {
            EXPECT_TRUE(std::isfinite(std::stod(call.args[k]))) << call.text();
        }
    }
}

// Point indices that fxDisplacePoint was given.
std::vector<int> displacedPoints(const host::Host& host) {
    std::vector<int> points;
    for (const host::HostCall& call : host.log.calls()) {
        if (call.function == "fxDisplacePoint") points.push_back(std::stoi(call.args[1]));
    }
    return points;
}

std::vector<Point3> doubled(const std::vector<Point3>& points) {
    return mapped(points, [](Point3 p) { return scale(p, 2.0); });
}

using Captured = CapturedStrainshaper;

// Without the provider there is no frame to hold an offset: the capture
// records nothing (so a later provider still gets a full capture) and the
// displacement moves nothing.
TEST_F(Strainshaper, WithoutTheProviderNothingIsCapturedOrMoved) {
    host.provider.unload();
    host.linkModules();
    chooseStretch(stretch);
    chooseSquash(squash);
    host.log.clear();
    setup();
    EXPECT_EQ(host.log.texts().size(), 3u) << "only the record, the scan and the count";
    const std::vector<Point3> pose = doubled(rest);
    expectPointsNear(displaceAt(pose), pose, 0.0);
    EXPECT_TRUE(calls("fxDisplaceBegin").empty());

    std::string error;
    ASSERT_TRUE(host.provider.load(tangentSpacePath, &error)) << error;
    host.linkModules();
    setup();
    host.log.clear();
    displaceAt(pose);
    EXPECT_EQ(displacedPoints(host).size(), rest.size());
}

TEST_F(Strainshaper, AnyMissingCaptureFunctionKeepsTheCaptureFromRunning) {
    for (const char* missing : {"useful_CreateTangentSpace", "useful_FetchTangentSpace",
                                "useful_TangentSpaceCalculate", "useful_TangentGetMatrix"}) {
        SCOPED_TRACE(missing);
        host.withhold(missing);
        host.linkModules();
        chooseStretch(stretch);
        chooseSquash(squash);
        host.log.clear();
        setup();
        EXPECT_EQ(host.log.texts().size(), 3u);
        host.withholdNothing();
    }
}

// The effect never needs the delete function: without it everything works.
TEST_F(Strainshaper, AMissingDeleteFunctionChangesNothing) {
    host.withhold("useful_DeleteTangentSpace");
    host.linkModules();
    chooseStretch(stretch);
    chooseSquash(squash);
    setup();
    host.log.clear();
    displaceAt(doubled(rest));
    EXPECT_EQ(displacedPoints(host).size(), rest.size());
}

TEST_F(Captured, AnyMissingDisplaceFunctionMovesNothing) {
    for (const char* missing : {"useful_FetchTangentSpace", "useful_TangentSpaceCalculate",
                                "useful_TangentGetMatrix"}) {
        SCOPED_TRACE(missing);
        host.withhold(missing);
        host.linkModules();
        host.log.clear();
        const std::vector<Point3> pose = doubled(rest);
        expectPointsNear(displaceAt(pose), pose, 0.0);
        EXPECT_TRUE(calls("fxDisplaceBegin").empty());
        host.withholdNothing();
    }
    host.linkModules();
    host.log.clear();
    displaceAt(doubled(rest));
    EXPECT_EQ(displacedPoints(host).size(), rest.size());
}

TEST_F(Captured, AProviderUnloadedAfterTheCaptureMovesNothing) {
    // A pass that moved every point comes first: what it produced must not
    // linger as the output of the pass that moves nothing.
    const std::vector<Point3> pose = doubled(rest);
    displaceAt(pose);
    ASSERT_EQ(displacedPoints(host).size(), rest.size());
    host.provider.unload();
    host.linkModules();
    host.log.clear();
    expectPointsNear(displaceAt(pose), pose, 0.0);
    EXPECT_TRUE(calls("fxDisplaceBegin").empty());
}

// The grid plus a point used by no polygon (9) and a triangle whose corners
// coincide at rest (10, 11, 12): neither has an edge length to compare, so
// neither moves, whatever the pose.
//   6 - 7 - 8
//   |   |   |      9            10=11=12 at (7, 7, 0) at rest
//   3 - 4 - 5
//   |   |   |
//   0 - 1 - 2
TEST_F(Strainshaper, PointsWithoutAMeasurableTensionStayInPlace) {
    std::vector<Point3> points = rest;
    points.push_back({5, 5, 0});
    for (int k = 0; k < 3; ++k) points.push_back({7, 7, 0});
    std::vector<std::vector<int32_t>> polygons = gridQuads(3, 3);
    polygons.push_back({10, 11, 12});
    host.scene.object(item)->mesh.reset(points, polygons);
    std::vector<Point3> stretched = points, squashed = points;
    for (size_t i = 0; i < points.size(); ++i) {
        stretched[i] = add(points[i], {0.1, 0.2, 0.3});
        squashed[i] = add(points[i], {-0.3, 0.1, 0.2});
    }
    host.scene.object(stretch)->mesh.reset(stretched, polygons);
    host.scene.object(squash)->mesh.reset(squashed, polygons);
    chooseStretch(stretch);
    chooseSquash(squash);
    setup();

    // Collapsed triangle still collapsed (0/0), then opened up (x/0).
    std::vector<Point3> collapsed = doubled(points);
    std::vector<Point3> opened = collapsed;
    opened[11] = add(opened[11], {1, 0, 0});
    opened[12] = add(opened[12], {0, 1, 0});
    for (const std::vector<Point3>* pose : {&collapsed, &opened}) {
        host.log.clear();
        const std::vector<Point3> output = displaceAt(*pose);
        EXPECT_EQ(displacedPoints(host), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
        for (size_t i = 9; i < points.size(); ++i) {
            EXPECT_EQ(output[i].x, (*pose)[i].x) << i;
            EXPECT_EQ(output[i].y, (*pose)[i].y) << i;
            EXPECT_EQ(output[i].z, (*pose)[i].z) << i;
        }
        expectOnlyFinitePositions(host);
    }
}

// A negative multiplier under a fractional power (-1 to the 2.5) has no real
// factor: the points stay, and the host never sees a NaN.
TEST_F(Captured, AFactorThatIsNotANumberMovesNothing) {
    setChannel("Stretch Multi", -0.5);
    setChannel("Exponent", 0.25);
    const std::vector<Point3> pose = doubled(rest);
    expectPointsNear(displaceAt(pose), pose, 0.0);
    EXPECT_TRUE(displacedPoints(host).empty());
    EXPECT_EQ(calls("fxDisplaceBegin").size(), 1u);
}

// A factor that overflows (10 to the power 1000) would carry the points to
// infinity: they stay instead.
TEST_F(Captured, AnInfiniteFactorMovesNothing) {
    setChannel("Stretch Multi", 5.0);
    setChannel("Exponent", 100.0);
    const std::vector<Point3> pose = doubled(rest);
    expectPointsNear(displaceAt(pose), pose, 0.0);
    EXPECT_TRUE(displacedPoints(host).empty());
}

// The mesh gained points after the capture: the new ones have no rest state
// and keep their positions.
TEST_F(Captured, PointsBeyondTheRestStateKeepTheirPositions) {
    std::vector<Point3> grown = rest;
    grown.push_back({3, 0, 0});
    grown.push_back({3, 1, 0});
    std::vector<std::vector<int32_t>> polygons = gridQuads(3, 3);
    polygons.push_back({2, 9, 10, 5});
    host.scene.object(item)->mesh.reset(grown, polygons);
    const std::vector<Point3> pose = doubled(grown);
    const std::vector<Point3> output = displaceAt(pose);
    EXPECT_EQ(displacedPoints(host), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    for (size_t i = 9; i < grown.size(); ++i) {
        EXPECT_EQ(output[i].x, pose[i].x);
        EXPECT_EQ(output[i].y, pose[i].y);
    }
    // Points 0, 1, 3, 4, 6, 7 kept their edges: they reach their stretch offset.
    for (const size_t i : {0u, 1u, 3u, 4u, 6u, 7u}) {
        const Point3 expected = add(pose[i], subtract(stretchTarget[i], rest[i]));
        EXPECT_NEAR(output[i].x, expected.x, 1e-9) << i;
        EXPECT_NEAR(output[i].z, expected.z, 1e-9) << i;
    }
}

// The mesh lost points: only the remaining ones are displaced, and those
// whose neighbours are gone cannot be measured and stay.
//   3 - 4 - 5        (6, 7, 8 removed)
//   | 0 | 1 |
//   0 - 1 - 2
TEST_F(Captured, APointWhoseNeighboursAreGoneStays) {
    const std::vector<Point3> shrunk(rest.begin(), rest.begin() + 6);
    host.scene.object(item)->mesh.reset(shrunk, gridQuads(3, 2));
    const std::vector<Point3> pose = doubled(shrunk);
    displaceAt(pose);
    EXPECT_EQ(displacedPoints(host), (std::vector<int>{0, 1, 2}));
    for (const host::HostCall& call : host.log.calls()) {
        if (call.function == "fxMeshPoint" && call.args[0] == "1") {
            EXPECT_LT(std::stoi(call.args[1]), 6) << call.text();
        }
    }
}

// A stretch object with fewer points than the mesh: the points it lacks get
// no offset, and are never read.
TEST_F(Strainshaper, ATargetWithFewerPointsGivesTheRestNoOffset) {
    const std::vector<Point3> partial(stretchTarget.begin(), stretchTarget.begin() + 5);
    host.scene.object(stretch)->mesh.reset(partial, {});
    chooseStretch(stretch);
    chooseSquash(squash);
    setup();
    for (const host::HostCall& call : host.log.calls()) {
        if (call.function == "fxMeshPoint" && call.args[0] == std::to_string(stretch)) {
            EXPECT_LT(std::stoi(call.args[1]), 5) << call.text();
        }
    }
    const std::vector<Point3> pose = doubled(rest);
    const std::vector<Point3> output = displaceAt(pose);
    for (size_t i = 0; i < rest.size(); ++i) {
        const Point3 expected = i < 5 ? add(pose[i], subtract(stretchTarget[i], rest[i])) : pose[i];
        EXPECT_NEAR(output[i].x, expected.x, 1e-9) << i;
        EXPECT_NEAR(output[i].y, expected.y, 1e-9) << i;
        EXPECT_NEAR(output[i].z, expected.z, 1e-9) << i;
    }
}

// The provider's delete function is fetched but never called, through a whole
// life: create, capture, displace, save, load, capture again, destroy.
int deleteCalls = 0;
int32_t countingDelete(TangentSpaceHandle) {
    ++deleteCalls;
    return 0;
}

TEST_F(Strainshaper, TheProvidersDeleteFunctionIsNeverCalled) {
    deleteCalls = 0;
    host.publish("useful_DeleteTangentSpace", reinterpret_cast<HostFunction>(&countingDelete));
    host.linkModules();
    chooseStretch(stretch);
    chooseSquash(squash);
    setup();
    displaceAt(doubled(rest));
    host::SettingsContext context;
    host.saveInstance(module, item, context);
    host.loadInstance(module, item, context);
    setup();
    displaceAt(doubled(rest));
    host.send(module, item, MSG_OBJECT, OBJ_DESTROY);
    EXPECT_EQ(deleteCalls, 0);
}

}  // namespace
}  // namespace kestrin::test
