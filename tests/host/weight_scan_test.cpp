// Weight-tool scans: the routine runs once per point number with the
// instance, and what it sets lands in the map being computed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host.h"
#include "served.h"

namespace kestrin::host {
namespace {

struct RoutineCall {
    HostHandle mesh;
    int32_t pointNumber;
    void* instance;
};
std::vector<RoutineCall> routineCalls;

// Writes point number x 10 for odd point numbers only.
int32_t oddPointsRoutine(void*, HostHandle mesh, int32_t pointNumber, int32_t, int32_t,
                         void* instance) {
    routineCalls.push_back({mesh, pointNumber, instance});
    if (pointNumber % 2 == 1) served::fxWeightToolValueSet(pointNumber - 1, pointNumber * 10.0f, 0);
    return 1;
}

class WeightScanTest : public ::testing::Test {
protected:
    Host host;
    HostHandle item = 0;
    HostHandle map = 0;
    int instance = 0;

    void SetUp() override {
        host.log.enable(true);
        routineCalls.clear();
        item = host.scene.addObject(
            "Strip", Mesh({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}}, {}));
        map = host.scene.addWeightMap(item, "Tension");
    }
    // What Host::computeWeights arranges around WEIGHT_COMPUTE.
    void scan() {
        host.weightScan.item = item;
        host.weightScan.map = map;
        served::fxWeightToolScan(item, &instance, oddPointsRoutine, 0);
        host.weightScan.item = 0;
        host.weightScan.map = 0;
    }
};

TEST_F(WeightScanTest, TheRoutineRunsForEachPointNumberAndUnwrittenPointsKeepZero) {
    scan();
    ASSERT_EQ(routineCalls.size(), 5u);
    for (int32_t k = 0; k < 5; ++k) {
        EXPECT_EQ(routineCalls[k].pointNumber, k + 1);
        EXPECT_EQ(routineCalls[k].mesh, item);
        EXPECT_EQ(routineCalls[k].instance, &instance);
    }
    EXPECT_THAT(host.scene.weightMap(map)->values, ::testing::ElementsAre(10, 0, 30, 0, 50));
    EXPECT_EQ(host.weightScan.writes.size(), 3u);
}

TEST_F(WeightScanTest, ValuesSetOutsideAScanAreDropped) {
    served::fxWeightToolValueSet(0, 5.0f, 0);
    EXPECT_EQ(host.weightScan.strayWrites, 1);
    EXPECT_THAT(host.scene.weightMap(map)->values, ::testing::Each(0.0f));

    served::fxWeightToolScan(item, &instance, oddPointsRoutine, 0);  // nothing requested
    EXPECT_TRUE(routineCalls.empty());
}

TEST_F(WeightScanTest, ChosenPointNumbersAreScannedAsGivenAndOutOfRangeValuesDropped) {
    host.weightScan.pointNumbers = {0, 3, 9};
    scan();
    ASSERT_EQ(routineCalls.size(), 3u);
    EXPECT_EQ(routineCalls[0].pointNumber, 0);
    EXPECT_THAT(host.scene.weightMap(map)->values, ::testing::ElementsAre(0, 0, 30, 0, 0));
}

TEST_F(WeightScanTest, ComputeWeightsMakesAClearedMapOfTheMeshSize) {
    host.scene.weightMap(map)->values = {1, 2};
    // Without a module nothing answers WEIGHT_COMPUTE; the map is cleared.
    EXPECT_EQ(host.computeWeights(0, item, "Tension"), map);
    EXPECT_THAT(host.scene.weightMap(map)->values, ::testing::ElementsAre(0, 0, 0, 0, 0));
    const HostHandle other = host.computeWeights(0, item, "Other");
    EXPECT_NE(other, map);
    EXPECT_EQ(host.scene.findWeightMap(item, "Other"), other);
    EXPECT_EQ(host.computeWeights(0, 999, "Tension"), 0u);
}

}  // namespace
}  // namespace kestrin::host
