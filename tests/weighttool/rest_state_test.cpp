// When the rest state is built and when it is kept.
#include "strainmark_fixture.h"

namespace kestrin::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

class RestStateTest : public StrainmarkTest {
protected:
    // Neighbour collection asks for each point's polygons: only a capture
    // does that.
    size_t captureQueries() const { return host.log.texts("fxMeshPointPolys").size(); }
};

TEST_F(RestStateTest, BuiltOnceAndKeptAcrossSettingsChanges) {
    addInstance(gridMesh(2, 1));
    host.log.clear();
    computeWeights();
    EXPECT_THAT(host.log.texts("fxMeshNumPoints"), SizeIs(1));
    EXPECT_EQ(captureQueries(), 2u * 6u);  // count, then list, per point

    host.log.clear();
    host.channels.set(item, "Exponent", 0.3);
    setToggle("Only Positive", 1);
    scaleCurrent(1.5);
    computeWeights();
    computeWeights();
    EXPECT_THAT(host.log.texts("fxMeshNumPoints"), IsEmpty());
    EXPECT_EQ(captureQueries(), 0u);
    EXPECT_EQ(record()->captured, 1);
}

// The rest lengths are those of the base shape at the first computation: a
// later change of the base shape shows as tension until a load rebuilds them.
TEST_F(RestStateTest, LoadingDropsTheRestStateAndTheNextComputationRebuildsIt) {
    addInstance(gridMesh(2, 2));
    computeWeights();
    mesh().setBase(scaledAbout(mesh().base().copy(), 1.5, {0.0, 0.0, 0.0}));
    for (float weight : computeWeights()) EXPECT_NEAR(weight, 0.63188, 0.5e-5);

    host::SettingsContext context;
    host.saveInstance(module, item, context);
    host.loadInstance(module, item, context);
    EXPECT_EQ(record()->captured, 0);
    host.log.clear();
    for (float weight : computeWeights()) EXPECT_EQ(weight, 0.0f);
    EXPECT_THAT(host.log.texts("fxMeshNumPoints"), SizeIs(1));
}

TEST_F(RestStateTest, PointNumberZeroAfterALoadCapturesAndWritesNothing) {
    addInstance(gridMesh(1, 1));
    host::SettingsContext context;
    host.saveInstance(module, item, context);
    host.loadInstance(module, item, context);
    host.weightScan.pointNumbers = {0};
    host.log.clear();
    computeWeights();
    EXPECT_THAT(host.log.texts("fxMeshNumPoints"), SizeIs(1));
    EXPECT_THAT(host.log.texts("fxWeightToolValueSet"), IsEmpty());
    EXPECT_EQ(record()->captured, 1);

    host.weightScan.pointNumbers = {1};
    host.log.clear();
    computeWeights();
    EXPECT_THAT(host.log.texts("fxWeightToolValueSet"),
                ElementsAre("fxWeightToolValueSet(0, 0, 0)"));
    EXPECT_EQ(captureQueries(), 0u);
}

TEST_F(RestStateTest, EachPointMeasuresItselfAndItsNeighboursOnce) {
    addInstance(gridMesh(1, 1));
    computeWeights();
    host.log.clear();
    host.weightScan.pointNumbers = {1};
    computeWeights();
    // Quad 0-1-3-2: point 0's neighbours are 2 (before it) and 1 (after it).
    const std::string m = std::to_string(item);
    EXPECT_THAT(host.log.texts("fxMeshPoint"),
                ElementsAre("fxMeshPoint(" + m + ", 0, &, 1)", "fxMeshPoint(" + m + ", 2, &, 1)",
                            "fxMeshPoint(" + m + ", 1, &, 1)"));
}

}  // namespace
}  // namespace kestrin::test
