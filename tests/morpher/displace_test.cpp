// The displacement pass: how far each point moves toward its stretch or squash
// target for a given edge tension, and that the offsets follow the surface.
#include <algorithm>
#include <cmath>

#include "strainshaper_fixture.h"

namespace kestrin::test {
namespace {

class Displacement : public CapturedStrainshaper {
protected:
    // pose + s * (target - rest), point by point.
    std::vector<Point3> movedToward(const std::vector<Point3>& pose,
                                    const std::vector<Point3>& target, double s) const {
        std::vector<Point3> expected;
        for (size_t i = 0; i < pose.size(); ++i) {
            expected.push_back(add(pose[i], scale(subtract(target[i], rest[i]), s)));
        }
        return expected;
    }

    std::vector<Point3> scaledRest(double factor) const {
        return mapped(rest, [&](Point3 p) { return scale(p, factor); });
    }
};

TEST_F(Displacement, RestShapeMovesNothing) {
    const std::vector<Point3> output = displaceAt(rest);
    ASSERT_EQ(calls("fxDisplaceBegin").size(), 1u);
    for (size_t i = 0; i < rest.size(); ++i) {
        EXPECT_EQ(output[i].x, rest[i].x);
        EXPECT_EQ(output[i].y, rest[i].y);
        EXPECT_EQ(output[i].z, rest[i].z);
    }
}

// With every setting at its default, edges twice as long reach the full
// stretch offset (t = 1, s = 1) and edges half as long the full squash offset.
TEST_F(Displacement, DoubledAndHalvedEdgesReachTheFullOffsets) {
    const std::vector<Point3> doubled = scaledRest(2.0);
    expectPointsNear(displaceAt(doubled), movedToward(doubled, stretchTarget, 1.0));
    const std::vector<Point3> halved = scaledRest(0.5);
    expectPointsNear(displaceAt(halved), movedToward(halved, squashTarget, 1.0));
}

// log2(1.5) = 0.585, shaped sin(0.585 pi/2) = 0.795, squared: 0.632.
TEST_F(Displacement, EdgesHalfAgainAsLongMoveSixtyThreePercent) {
    const double s = std::pow(std::sin(std::log2(1.5) * M_PI / 2.0), 2.0);
    EXPECT_NEAR(s, 0.632, 0.001);
    const std::vector<Point3> pose = scaledRest(1.5);
    expectPointsNear(displaceAt(pose), movedToward(pose, stretchTarget, s));
}

TEST_F(Displacement, ExponentZeroGivesFullOffsetsWhateverTheTension) {
    setChannel("Exponent", 0.0);
    const std::vector<Point3> slightlyLonger = scaledRest(1.1);
    expectPointsNear(displaceAt(slightlyLonger), movedToward(slightlyLonger, stretchTarget, 1.0));
    const std::vector<Point3> slightlyShorter = scaledRest(0.9);
    expectPointsNear(displaceAt(slightlyShorter), movedToward(slightlyShorter, squashTarget, 1.0));
    // At rest the tension is 0, which counts as squash: pow(0, 0) is 1.
    expectPointsNear(displaceAt(rest), movedToward(rest, squashTarget, 1.0));
}

// Multipliers are applied doubled: 0.25 halves the stretch factor before the
// power, so doubled edges give s = (0.5)^2.
TEST_F(Displacement, StretchMultiplierScalesTheFactorBeforeThePower) {
    setChannel("Stretch Multi", 0.25);
    const std::vector<Point3> doubled = scaledRest(2.0);
    expectPointsNear(displaceAt(doubled), movedToward(doubled, stretchTarget, 0.25));
}

TEST_F(Displacement, WeightMapScalesEachPointsMove) {
    const HostHandle map = host.scene.addWeightMap(item, "Mask");
    std::vector<float>& weights = host.scene.weightMap(map)->values;
    for (size_t i = 0; i < weights.size(); ++i) weights[i] = (i % 2 == 0) ? 0.0f : 0.5f;
    chooseWeightMap(map);

    const std::vector<Point3> doubled = scaledRest(2.0);
    const std::vector<Point3> output = displaceAt(doubled);
    const std::vector<Point3> half = movedToward(doubled, stretchTarget, 0.5);
    for (size_t i = 0; i < rest.size(); ++i) {
        const Point3 expected = (i % 2 == 0) ? doubled[i] : half[i];
        EXPECT_NEAR(output[i].x, expected.x, 1e-12) << i;
        EXPECT_NEAR(output[i].y, expected.y, 1e-12) << i;
        EXPECT_NEAR(output[i].z, expected.z, 1e-12) << i;
    }
    EXPECT_EQ(calls("fxMeshPointWeight").size(), rest.size());
    EXPECT_EQ(calls("fxMeshPointWeight")[1], "fxMeshPointWeight(1, 1, 4, 4, &, 0)");
}

// The offsets live in each point's tangent frame: under any rotation R (with
// translation and uniform scale) the mesh ends at pose + R (target - rest).
TEST_F(Displacement, OffsetsTurnWithTheMeshUnderAnyRotation) {
    const struct {
        Point3 axis;
        double angle;
    } rotations[] = {
        {{0, 0, 1}, 0.0},
        {{1, 0, 0}, M_PI / 2},
        {{0, 1, 0}, M_PI},
        {{0.48, 0.6, 0.64}, 2.1},
        {{-0.8, 0.0, 0.6}, -0.7},
    };
    const Point3 shift = {3.5, -1.25, 10.0};
    for (const auto& r : rotations) {
        SCOPED_TRACE(r.angle);
        const Matrix3 R = rotation(r.axis, r.angle);
        for (const double factor : {2.0, 0.5}) {
            SCOPED_TRACE(factor);
            const std::vector<Point3>& target = factor > 1.0 ? stretchTarget : squashTarget;
            std::vector<Point3> pose;
            std::vector<Point3> expected;
            for (size_t i = 0; i < rest.size(); ++i) {
                pose.push_back(add(apply(R, scale(rest[i], factor)), shift));
                expected.push_back(add(pose[i], apply(R, subtract(target[i], rest[i]))));
            }
            expectPointsNear(displaceAt(pose), expected, 1e-9);
        }
    }
}

// A strip folded along x = 2 by 60 degrees, then doubled in size: targets
// that lie along the rest normal (+z) come out along the folded normals.
//   10 - 11 - 12 - 13 - 14
//    |    |    |    |    |        right of column 2 turns up about the fold
//    5 -  6 -  7 -  8 -  9
//    |    |    |    |    |
//    0 -  1 -  2 -  3 -  4
TEST_F(Strainshaper, OffsetsAlongTheNormalStayAlongTheBentNormal) {
    const int cols = 5, rows = 3;
    const std::vector<Point3> flat = gridPoints(cols, rows);
    const double lift = 0.3;
    host.scene.object(item)->mesh.reset(flat, gridQuads(cols, rows));
    host.scene.object(stretch)->mesh.reset(
        mapped(flat, [&](Point3 p) { return add(p, {0, 0, lift}); }), gridQuads(cols, rows));
    chooseStretch(stretch);
    chooseSquash(squash);
    setup();

    const double angle = M_PI / 3;
    const double c = std::cos(angle), s = std::sin(angle);
    const std::vector<Point3> pose = mapped(flat, [&](Point3 p) {
        const Point3 folded = p.x <= 2.0 ? p : Point3{2.0 + (p.x - 2.0) * c, p.y, (p.x - 2.0) * s};
        return scale(folded, 2.0);
    });
    const Point3 leftNormal = {0, 0, 1};
    const Point3 rightNormal = {-s, 0, c};
    const Point3 foldNormal = scale(add(leftNormal, rightNormal), 1.0 / norm(add(leftNormal, rightNormal)));

    const std::vector<Point3> output = displaceAt(pose);
    ASSERT_EQ(output.size(), flat.size());
    for (size_t i = 0; i < flat.size(); ++i) {
        const Point3 normal = flat[i].x < 2.0 ? leftNormal : flat[i].x > 2.0 ? rightNormal : foldNormal;
        const Point3 expected = add(pose[i], scale(normal, lift));
        EXPECT_NEAR(output[i].x, expected.x, 1e-9) << i;
        EXPECT_NEAR(output[i].y, expected.y, 1e-9) << i;
        EXPECT_NEAR(output[i].z, expected.z, 1e-9) << i;
    }
}

TEST_F(Displacement, EveryPassFetchesAndRecalculatesTheFramesThenBracketsTheMoves) {
    displaceAt(scaledRest(2.0));
    const std::vector<std::string> texts = host.log.texts();
    const auto position = [&](const std::string& text) {
        return std::find(texts.begin(), texts.end(), text) - texts.begin();
    };
    EXPECT_EQ(calls("fxDisplaceBegin"), std::vector<std::string>{"fxDisplaceBegin(1, 0)"});
    EXPECT_EQ(calls("fxDisplaceEnd"), std::vector<std::string>{"fxDisplaceEnd(1, 0)"});
    EXPECT_EQ(calls("fxDisplacePoint").size(), rest.size());
    EXPECT_LT(position("fxDisplaceBegin(1, 0)"), position(calls("fxDisplacePoint").front()));
    EXPECT_EQ(texts.back(), "fxDisplaceEnd(1, 0)");
}

}  // namespace
}  // namespace kestrin::test
