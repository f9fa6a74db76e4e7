// A capture that runs out of memory, at every calloc it makes in turn: the
// instance keeps no rest state, holds no block made during the attempt, and
// the scan writes no weight; once memory is back the next scan captures and
// measures as if nothing had happened.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "../weighttool/strainmark_fixture.h"
#include "calloc_control.h"

namespace kestrin::test {
namespace {

class CaptureFailureTest : public StrainmarkTest {};

TEST_F(CaptureFailureTest, EveryFailedCallocLeavesNoRestStateNoBlockAndNoWeight) {
    // Every calloc of a capture on this mesh, from the three arrays to the
    // last neighbour list; the count of a clean capture bounds the sweep.
    addInstance(gridMesh(2, 2));
    watchCalloc(-1);
    computeWeights();
    stopWatchingCalloc();
    const int cleanCallocs = callocCallsWatched();
    ASSERT_GT(cleanCallocs, 3);

    for (int succeed = 0; succeed < cleanCallocs; ++succeed) {
        addInstance(gridMesh(2, 2), "Mesh " + std::to_string(succeed));
        scaleCurrent(1.5, {0.3, 0.2, 0.1});
        watchCalloc(succeed);
        const std::vector<float> weights = computeWeights();
        ASSERT_TRUE(stopWatchingCalloc()) << succeed;
        EXPECT_EQ(heldCallocBlocks(), 0u) << "calloc " << succeed << " failed";
        EXPECT_TRUE(host.weightScan.writes.empty()) << "calloc " << succeed << " failed";
        EXPECT_THAT(weights, ::testing::Each(0.0f));
        EXPECT_EQ(record()->captured, 0);
        EXPECT_EQ(record()->rest.neighbourLists, nullptr);

        for (float weight : computeWeights()) EXPECT_NEAR(weight, 0.63188, 0.5e-5) << succeed;
        EXPECT_EQ(record()->captured, 1);
    }
}

TEST_F(CaptureFailureTest, ARecordThatCannotBeMadeLeavesTheItemBare) {
    item = host.scene.addObject("Mesh", gridMesh(1, 1));
    host.log.clear();
    watchCalloc(0);
    send(MSG_OBJECT, OBJ_CREATE);
    ASSERT_TRUE(stopWatchingCalloc());
    EXPECT_EQ(record(), nullptr);
    EXPECT_TRUE(host.log.texts().empty());
    EXPECT_TRUE(host.channels.all().empty());
}

}  // namespace
}  // namespace kestrin::test
