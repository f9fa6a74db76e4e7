// Rimshaper's capture running out of memory, at every calloc it makes in
// turn: the instance is left uncaptured and holding nothing, not even what an
// earlier, incomplete capture had built; the effect moves no point; and once
// memory is back the next setup pass captures and displaces exactly as an
// instance that never failed.
#include <gtest/gtest.h>

#include "../../morpher/instance.h"
#include "../morpher/strainshaper_fixture.h"
#include "calloc_control.h"
#include "messages.h"

namespace kestrin::test {
namespace {

class RimshaperCaptureFailureTest : public Strainshaper {
protected:
    const MorpherInstance* record() const {
        return static_cast<const MorpherInstance*>(host.typeData(module, item));
    }

    // A fresh instance whose first setup pass, with only the stretch object
    // chosen, holds an incomplete capture; the squash object is then chosen
    // so that the next pass captures in full.
    void freshInstanceWithIncompleteCapture() {
        host.send(module, item, MSG_OBJECT, OBJ_DESTROY);
        host.send(module, item, MSG_OBJECT, OBJ_CREATE);
        chooseStretch(stretch);
        setup();
        ASSERT_NE(record()->stretchDeltas, nullptr);
        chooseSquash(squash);
    }
};

TEST_F(RimshaperCaptureFailureTest, EveryFailedCallocLeavesNothingCapturedAndNothingMoved) {
    // Stretched along x, so every point moves in a clean pass.
    const std::vector<Point3> pose =
        mapped(rest, [](Point3 p) { return Point3{1.4 * p.x, p.y, p.z}; });
    freshInstanceWithIncompleteCapture();
    watchCallocIn(rimshaperPath, -1);
    setup();
    stopWatchingCalloc();
    // Three rest-state arrays, nine neighbour lists, the tension buffer and
    // the two offset arrays.
    const int cleanCallocs = callocCallsWatched();
    ASSERT_EQ(cleanCallocs, 3 + 9 + 1 + 2);
    const std::vector<Point3> expected = displaceAt(pose);
    // The pose lies in z = 0; the stretch offsets lift every point off it.
    for (const Point3& p : expected) ASSERT_NE(p.z, 0.0);

    for (int succeed = 0; succeed < cleanCallocs; ++succeed) {
        SCOPED_TRACE("calloc " + std::to_string(succeed) + " failed");
        freshInstanceWithIncompleteCapture();
        watchCallocIn(rimshaperPath, succeed);
        setup();
        ASSERT_TRUE(stopWatchingCalloc());
        EXPECT_EQ(heldCallocBlocks(), 0u);
        const MorpherInstance* failed = record();
        EXPECT_EQ(failed->captured, 0);
        EXPECT_EQ(failed->rest.pointCount, 0);
        EXPECT_EQ(failed->rest.neighbourCounts, nullptr);
        EXPECT_EQ(failed->rest.neighbourLists, nullptr);
        EXPECT_EQ(failed->rest.restLengths, nullptr);
        EXPECT_EQ(failed->stretchDeltas, nullptr);
        EXPECT_EQ(failed->squashDeltas, nullptr);
        EXPECT_EQ(failed->tensions, nullptr);
        expectPointsNear(displaceAt(pose), pose, 0.0);

        setup();
        EXPECT_EQ(record()->captured, 1);
        expectPointsNear(displaceAt(pose), expected, 0.0);
    }
}

}  // namespace
}  // namespace kestrin::test
