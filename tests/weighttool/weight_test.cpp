// The tension weights, measured through the host on meshes scaled uniformly:
// every edge of such a mesh changes length by the same ratio r, so every
// point must get the weight of r.
#include <cfloat>
#include <cmath>

#include "strainmark_fixture.h"

namespace kestrin::test {
namespace {

struct WorkedValue {
    double ratio;
    double weight;  // at the settings after creation
};

// Known answers of the default shaping, to five places.
const WorkedValue workedValues[] = {
    {1.0, 0.0},      {2.0, 1.0},       {4.0, 1.0},      {0.5, -1.0},      {0.25, -1.0},
    {1.5, 0.63188},  {0.75, -0.36812}, {1.1, 0.04593},  {0.9, -0.05593},
};

const Point3 centres[] = {{0.0, 0.0, 0.0}, {3.7, -2.1, 0.4}, {-50.0, 12.5, 8.0}};

using Shaping = double (*)(double defaultWeight);

struct ToggleCase {
    const char* name;
    int32_t clamp, onlyPositive, switchMode;
    Shaping expected;
};

const ToggleCase toggleCases[] = {
    {"defaults", 1, 0, 0, [](double w) { return w; }},
    {"switch", 1, 0, 1, [](double w) { return -w; }},
    {"only positive", 1, 1, 0, [](double w) { return std::max(w, 0.0); }},
    {"switch then only positive", 1, 1, 1, [](double w) { return std::max(-w, 0.0); }},
};

class WeightTest : public StrainmarkTest {
protected:
    void expectEverywhere(const std::vector<float>& weights, double expected,
                          const std::string& what) {
        ASSERT_EQ(weights.size(), static_cast<size_t>(mesh().pointCount())) << what;
        for (size_t i = 0; i < weights.size(); ++i) {
            EXPECT_NEAR(weights[i], expected, 0.5e-5) << what << ", point " << i;
        }
    }
};

TEST_F(WeightTest, ScaledGridAndCubeGiveTheWorkedValueEverywhereWithEveryToggle) {
    const host::Mesh meshes[] = {gridMesh(3, 2), cubeMesh()};
    for (const host::Mesh& shape : meshes) {
        addInstance(shape);
        for (const ToggleCase& toggles : toggleCases) {
            setToggle("Clamp", toggles.clamp);
            setToggle("Only Positive", toggles.onlyPositive);
            setToggle("Squash/Stretch switch", toggles.switchMode);
            for (const WorkedValue& worked : workedValues) {
                for (const Point3& centre : centres) {
                    scaleCurrent(worked.ratio, centre);
                    const std::string what = std::string(toggles.name) + ", r = " +
                                             std::to_string(worked.ratio) + ", " +
                                             std::to_string(mesh().pointCount()) + " points";
                    expectEverywhere(computeWeights(), toggles.expected(worked.weight), what);
                }
            }
        }
    }
}

TEST_F(WeightTest, MeshScaledByOneAndAHalfAboutAnyPointGivesTheSameWeightEverywhere) {
    addInstance(gridMesh(4, 4));
    for (const Point3& centre : centres) {
        scaleCurrent(1.5, centre);
        expectEverywhere(computeWeights(), 0.63188, "r = 1.5");
    }
}

TEST_F(WeightTest, MeshAtRestGivesZeroEverywhere) {
    addInstance(cubeMesh());
    for (float weight : computeWeights()) EXPECT_EQ(weight, 0.0f);
}

// Without the clamp and with both ramp multipliers at 1 the ramp's ends
// reach +-2 and the square +-4.
TEST_F(WeightTest, WithoutClampSaturatedRatiosReachFour) {
    addInstance(gridMesh(2, 2));
    setToggle("Clamp", 0);
    host.channels.set(item, "Pre Multiplier", 1.0);
    host.channels.set(item, "Post Multiplier", 1.0);
    const WorkedValue unclamped[] = {{2.0, 4.0}, {4.0, 4.0}, {0.5, -4.0}, {0.25, -4.0},
                                     {1.0, 0.0}};
    for (const WorkedValue& worked : unclamped) {
        scaleCurrent(worked.ratio, {1.0, -1.0, 2.0});
        expectEverywhere(computeWeights(), worked.weight, "r = " + std::to_string(worked.ratio));
    }
}

// Clamping comes first, then the sign switch, then the positive-only limit,
// whose upper bound applies too.
TEST_F(WeightTest, ClampSwitchAndOnlyPositiveApplyInThatOrder) {
    addInstance(gridMesh(2, 2));
    host.channels.set(item, "Pre Multiplier", 1.0);
    host.channels.set(item, "Post Multiplier", 1.0);
    struct Case {
        int32_t clamp, switchMode, onlyPositive;
        double ratio, weight;
    };
    const Case cases[] = {
        {0, 1, 0, 2.0, -4.0}, {1, 1, 0, 2.0, -1.0}, {0, 1, 1, 0.5, 1.0}, {0, 0, 1, 2.0, 1.0},
        {0, 1, 1, 2.0, 0.0},  {1, 1, 1, 0.5, 1.0},  {0, 0, 1, 0.5, 0.0},
    };
    for (const Case& c : cases) {
        setToggle("Clamp", c.clamp);
        setToggle("Squash/Stretch switch", c.switchMode);
        setToggle("Only Positive", c.onlyPositive);
        scaleCurrent(c.ratio);
        expectEverywhere(computeWeights(), c.weight,
                         "clamp " + std::to_string(c.clamp) + ", switch " +
                             std::to_string(c.switchMode) + ", only positive " +
                             std::to_string(c.onlyPositive) + ", r = " + std::to_string(c.ratio));
    }
}

// pow(0, 0) is 1: with exponent 0 an unchanged point gets 1, a squashed one -1.
TEST_F(WeightTest, ExponentZeroGivesOneAtRestAndMinusOneWhenSquashed) {
    addInstance(cubeMesh());
    host.channels.set(item, "Exponent", 0.0);
    expectEverywhere(computeWeights(), 1.0, "at rest");
    scaleCurrent(0.75);
    expectEverywhere(computeWeights(), -1.0, "squashed");
    scaleCurrent(1.5);
    expectEverywhere(computeWeights(), 1.0, "stretched");
}

TEST_F(WeightTest, StretchAndSquashMultipliersScaleOnlyTheirSide) {
    addInstance(gridMesh(2, 2));
    host.channels.set(item, "Stretch Multi", 0.25);  // halves stretched values before the square
    scaleCurrent(1.5);
    expectEverywhere(computeWeights(), 0.63188 / 4.0, "stretched");
    scaleCurrent(0.75);
    expectEverywhere(computeWeights(), -0.36812, "squashed");
}

// A lone point beside a triangle, and a triangle collapsed to one spot:
//   3 (no polygon)     0--1      4,5,6 all at (5, 5, 0)
//                      | /
//                      2
// Neither has a defined length ratio; both get what an unchanged point gets.
TEST_F(WeightTest, PointsWithoutARatioGetWhatAnUnchangedPointGets) {
    host::Mesh shape({{0, 1, 0}, {1, 1, 0}, {0, 0, 0}, {9, 9, 9}, {5, 5, 0}, {5, 5, 0}, {5, 5, 0}},
                     {{0, 1, 2}, {4, 5, 6}});
    addInstance(shape);
    host.channels.set(item, "Exponent", 0.0);  // an unchanged point gets 1, not 0
    std::vector<float> weights = computeWeights();
    for (int point = 0; point < 7; ++point) EXPECT_EQ(weights[point], 1.0f) << point;

    host.channels.set(item, "Exponent", 0.2);
    weights = computeWeights();
    for (int point = 0; point < 7; ++point) EXPECT_EQ(weights[point], 0.0f) << point;
}

// The rest state covers the points the mesh had at the first computation;
// points it gained later have no rest length to compare with and get 0.
TEST_F(WeightTest, PointsAddedAfterTheCaptureGetZero) {
    addInstance(gridMesh(1, 1));
    host.channels.set(item, "Exponent", 0.0);
    EXPECT_EQ(computeWeights(), std::vector<float>(4, 1.0f));

    host::Mesh grown = gridMesh(2, 2);  // 9 points; the first 4 keep their indices' polygons
    mesh().reset(grown.base().copy(), {{0, 1, 4, 3}, {1, 2, 5, 4}, {3, 4, 7, 6}, {4, 5, 8, 7}});
    const std::vector<float> weights = computeWeights();
    ASSERT_EQ(weights.size(), 9u);
    for (int point = 4; point < 9; ++point) EXPECT_EQ(weights[point], 0.0f) << point;
    const auto& writes = host.weightScan.writes;
    EXPECT_EQ(writes.size(), 9u) << "every point number is answered";
}

// Without the clamp, a squash multiplier below 0 makes the power's base
// negative and the result not a number; huge multipliers overflow the float.
TEST_F(WeightTest, NoNanOrInfinityReachesTheHost) {
    addInstance(gridMesh(2, 2));
    setToggle("Clamp", 0);
    host.channels.set(item, "Squash Multi", -0.5);
    host.channels.set(item, "Exponent", 0.25);
    scaleCurrent(0.75);
    expectEverywhere(computeWeights(), 0.0, "not a number becomes 0");

    setToggle("Clamp", 1);  // the clamp turns not-a-number into 1
    expectEverywhere(computeWeights(), 1.0, "clamped not a number");

    setToggle("Clamp", 0);
    host.channels.set(item, "Squash Multi", 0.5);
    host.channels.set(item, "Exponent", 0.2);
    host.channels.set(item, "Post Multiplier", 1e38);
    scaleCurrent(1.5);
    for (float weight : computeWeights()) EXPECT_EQ(weight, FLT_MAX);
    scaleCurrent(0.75);
    for (float weight : computeWeights()) EXPECT_EQ(weight, -FLT_MAX);
    for (const host::WeightWrite& write : host.weightScan.writes) {
        EXPECT_TRUE(std::isfinite(write.weight)) << write.point;
    }
}

}  // namespace
}  // namespace kestrin::test
