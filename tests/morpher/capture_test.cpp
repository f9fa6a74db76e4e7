// The rest-state capture, observed through what it asks of the host and the
// provider and through the displacement it enables.
#include <algorithm>
#include <cmath>

#include "messages.h"
#include "strainshaper_fixture.h"

namespace kestrin::test {
namespace {

using Texts = std::vector<std::string>;

// fxMeshPoint reads of one object's points in one state (0 rest, 1 current).
size_t readsOf(const host::Host& host, HostHandle object, int state) {
    size_t count = 0;
    for (const host::HostCall& call : host.log.calls()) {
        if (call.function == "fxMeshPoint" && call.args[0] == std::to_string(object) &&
            call.args[3] == std::to_string(state)) {
            ++count;
        }
    }
    return count;
}

size_t restReadsOf(const host::Host& host, HostHandle object) { return readsOf(host, object, 0); }

std::vector<Point3> doubledRest(const std::vector<Point3>& rest) {
    return mapped(rest, [](Point3 p) { return scale(p, 2.0); });
}

TEST_F(Strainshaper, WithoutTargetObjectsNothingIsCapturedAndNothingMoves) {
    setup();
    EXPECT_EQ(restReadsOf(host, stretch), 0u);
    EXPECT_EQ(restReadsOf(host, squash), 0u);
    const std::vector<Point3> pose = doubledRest(rest);
    host.log.clear();
    expectPointsNear(displaceAt(pose), pose, 0.0);
    EXPECT_TRUE(calls("fxDisplaceBegin").empty());
    EXPECT_TRUE(calls("fxDisplacePoint").empty());
    EXPECT_TRUE(calls("fxDisplaceEnd").empty());
}

// Stretch only: its offsets are read, but the capture is incomplete, so the
// effect stays inactive and the next setup pass starts again from the top.
TEST_F(Strainshaper, StretchOnlyIsReadButNotKeptAndCapturedAgainNextPass) {
    chooseStretch(stretch);
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        host.log.clear();
        setup();
        EXPECT_EQ(restReadsOf(host, stretch), rest.size());
        EXPECT_EQ(restReadsOf(host, squash), 0u);
        EXPECT_GT(restReadsOf(host, item), rest.size()) << "rest lengths measured again";
        host.log.clear();
        displaceAt(doubledRest(rest));
        EXPECT_TRUE(calls("fxDisplaceBegin").empty());
    }
}

TEST_F(Strainshaper, SquashOnlyNeverCompletesTheCapture) {
    chooseSquash(squash);
    setup();
    EXPECT_EQ(restReadsOf(host, squash), 0u);
    host.log.clear();
    displaceAt(doubledRest(rest));
    EXPECT_TRUE(calls("fxDisplaceBegin").empty());
}

// With both targets the first pass captures; the second stops right after
// counting the points, before any other host call.
TEST_F(Strainshaper, ASecondSetupPassLeavesTheRestStateUntouched) {
    chooseStretch(stretch);
    chooseSquash(squash);
    setup();
    EXPECT_EQ(restReadsOf(host, stretch), rest.size());
    EXPECT_EQ(restReadsOf(host, squash), rest.size());

    host.scene.object(item)->mesh.setBase(doubledRest(rest));  // a later edit is not seen
    host.log.clear();
    setup();
    EXPECT_EQ(host.log.texts(), (Texts{"fxObjectGetTypeData(1, 0)",
                                       "fxEffectTargetScan(1, fn, &, 0)",
                                       "fxMeshNumPoints(1, &, 0)"}));
    // The old rest lengths still hold: the doubled mesh reads as stretched.
    const std::vector<Point3> pose = doubledRest(rest);
    std::vector<Point3> expected;
    for (size_t i = 0; i < rest.size(); ++i) {
        expected.push_back(add(pose[i], subtract(stretchTarget[i], rest[i])));
    }
    expectPointsNear(displaceAt(pose), expected);
}

// The host runs the setup pass at rest, so the offsets are taken in the rest
// frames even when the mesh was last evaluated in a turned pose; the pose is
// given back afterwards.
TEST_F(Strainshaper, SetupTakesTheOffsetsInTheRestFramesAndKeepsThePose) {
    chooseStretch(stretch);
    chooseSquash(squash);
    const Matrix3 R = rotation({0, 1, 0}, M_PI / 2);
    const std::vector<Point3> pose = mapped(rest, [&](Point3 p) { return apply(R, scale(p, 2.0)); });
    host.scene.object(item)->mesh.setCurrent(pose);
    setup();
    expectPointsNear(host.scene.object(item)->mesh.current().copy(), pose, 0.0);
    std::vector<Point3> expected;
    for (size_t i = 0; i < rest.size(); ++i) {
        expected.push_back(add(pose[i], apply(R, subtract(stretchTarget[i], rest[i]))));
    }
    expectPointsNear(displaceAt(pose), expected);
}

// A mesh of no points still completes its (empty) capture.
TEST_F(Strainshaper, AnEmptyMeshCapturesAndDisplacesNothing) {
    host.scene.object(item)->mesh.reset({}, {});
    chooseStretch(stretch);
    chooseSquash(squash);
    setup();
    host.log.clear();
    displaceAt({});
    EXPECT_EQ(calls("fxDisplaceBegin").size(), 1u);
    EXPECT_TRUE(calls("fxDisplacePoint").empty());
    EXPECT_EQ(calls("fxDisplaceEnd").size(), 1u);
}

// Targets equal to the rest shape give zero offsets: nothing moves, however
// stretched.
TEST_F(Strainshaper, TargetsAtTheRestShapeMoveNothing) {
    const HostHandle same = host.scene.addObject("Same", host::Mesh(rest, gridQuads(3, 3)));
    chooseStretch(same);
    chooseSquash(same);
    setup();
    const std::vector<Point3> pose = doubledRest(rest);
    expectPointsNear(displaceAt(pose), pose, 1e-15);
}

// Every setup pass of an incomplete capture makes the tangent space again;
// the provider replaces it rather than piling them up (checked for leaks).
TEST_F(Strainshaper, RepeatedIncompleteCapturesReplaceTheirTangentSpace) {
    chooseStretch(stretch);
    for (int pass = 0; pass < 5; ++pass) setup();
    chooseSquash(squash);
    setup();
    const std::vector<Point3> pose = doubledRest(rest);
    host.log.clear();
    displaceAt(pose);
    EXPECT_EQ(calls("fxDisplacePoint").size(), rest.size());
}

}  // namespace
}  // namespace kestrin::test
