// Creation, destruction and the dispatch of messages to an instance.
#include "strainmark_fixture.h"

namespace kestrin::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class InstanceTest : public StrainmarkTest {};

TEST_F(InstanceTest, CreationAttachesTheRecordAndMakesAndLinksFiveChannels) {
    item = host.scene.addObject("Mesh", gridMesh(1, 1));
    host.log.clear();
    EXPECT_EQ(send(MSG_OBJECT, OBJ_CREATE), 0);
    const std::string i = std::to_string(item);
    EXPECT_THAT(host.log.texts(),
                ElementsAre("fxObjectSetTypeData(" + i + ", &, 0)",
                            "fxChannelSetup(" + i + ", \"Exponent\", 0, 4, 0.2, 0, 0, 0)",
                            "fxChannelSetup(" + i + ", \"Pre Multiplier\", 1, 4, 0.5, 0, 0, 0)",
                            "fxChannelSetup(" + i + ", \"Post Multiplier\", 2, 4, 0.5, 0, 0, 0)",
                            "fxChannelSetup(" + i + ", \"Stretch Multi\", 3, 4, 0.5, 0, 0, 0)",
                            "fxChannelSetup(" + i + ", \"Squash Multi\", 4, 4, 0.5, 0, 0, 0)",
                            "fxChannelDataLink(" + i + ", 0, 2, &, 0)",
                            "fxChannelDataLink(" + i + ", 1, 2, &, 0)",
                            "fxChannelDataLink(" + i + ", 2, 2, &, 0)",
                            "fxChannelDataLink(" + i + ", 3, 2, &, 0)",
                            "fxChannelDataLink(" + i + ", 4, 2, &, 0)"));

    const WeightToolInstance* tool = record();
    ASSERT_NE(tool, nullptr);
    EXPECT_EQ(tool->exponent, 0.2);
    EXPECT_EQ(tool->preMultiplier, 0.5);
    EXPECT_EQ(tool->postMultiplier, 0.5);
    EXPECT_EQ(tool->stretchMultiplier, 0.5);
    EXPECT_EQ(tool->squashMultiplier, 0.5);
    EXPECT_EQ(tool->clampValues, 1);
    EXPECT_EQ(tool->onlyPositive, 0);
    EXPECT_EQ(tool->switchMode, 0);
    EXPECT_EQ(tool->captured, 0);
    EXPECT_EQ(tool->rest.neighbourLists, nullptr);

    // Each link goes to its own field of the record.
    const auto& calls = host.log.calls();
    const uintptr_t base = reinterpret_cast<uintptr_t>(tool);
    const size_t offsets[] = {offsetof(WeightToolInstance, exponent),
                              offsetof(WeightToolInstance, preMultiplier),
                              offsetof(WeightToolInstance, postMultiplier),
                              offsetof(WeightToolInstance, stretchMultiplier),
                              offsetof(WeightToolInstance, squashMultiplier)};
    for (int index = 0; index < 5; ++index) {
        EXPECT_EQ(calls[6 + index].pointers[3], base + offsets[index]) << index;
    }
}

TEST_F(InstanceTest, ChannelValuesReachTheRecordBeforeEveryMessage) {
    addInstance(gridMesh(1, 1));
    host.channels.set(item, "Exponent", 0.7);
    host.channels.set(item, "Squash Multi", 0.1);
    send(MSG_DISPLAY, DISPLAY_SETUP);
    EXPECT_EQ(record()->exponent, 0.7);
    EXPECT_EQ(record()->squashMultiplier, 0.1);
}

TEST_F(InstanceTest, SubKindsOtherThanTheExactOnesChangeNothing) {
    addInstance(gridMesh(1, 1));
    const uint64_t high = (uint64_t{1} << 32);
    struct Message {
        uint32_t messageClass;
        uint64_t subKind;
    };
    const Message ignored[] = {
        {MSG_OBJECT, 2},           {MSG_OBJECT, 8},          {MSG_OBJECT, high + 1},
        {MSG_OBJECT, high + 4},    {MSG_OBJECT, 0x10000000}, {MSG_OBJECT, 0},
        {MSG_INTERFACE, high + 1}, {MSG_INTERFACE, 2},       {MSG_DISPLAY, high + 256},
        {MSG_WEIGHT_TOOL, 2},      {MSG_WEIGHT_TOOL, high + 1}, {MSG_EFFECT, 4},
        {MSG_LINK, 2},             {12345, 1},
    };
    for (const Message& message : ignored) {
        host.log.clear();
        EXPECT_EQ(send(message.messageClass, message.subKind), 0);
        EXPECT_THAT(host.log.texts(), IsEmpty())
            << message.messageClass << "/" << message.subKind;
    }
    EXPECT_NE(record(), nullptr);
}

TEST_F(InstanceTest, MessagesAboutAnItemWithoutARecordOnlyLookForIt) {
    item = host.scene.addObject("Bare", gridMesh(1, 1));
    host::SettingsContext context;
    context.newBlock("LagData")->values.push_back({"lag", host::SavedType::Double, 0, 9.0, 0});
    const uint64_t kinds[] = {OBJ_DESTROY, OBJ_LOAD, OBJ_SAVE};
    for (uint64_t kind : kinds) {
        host.log.clear();
        EXPECT_EQ(send(MSG_OBJECT, kind, &context), 0);
        EXPECT_THAT(host.log.texts(),
                    ElementsAre("fxObjectGetTypeData(" + std::to_string(item) + ", 0)"))
            << kind;
    }
    host.log.clear();
    host.computeWeights(module, item, "Tension");
    EXPECT_THAT(host.log.texts("fxWeightToolScan"), IsEmpty());
    EXPECT_EQ(host.scene.weightMap(host.scene.findWeightMap(item, "Tension"))->values,
              std::vector<float>(4, 0.0f));
}

TEST_F(InstanceTest, DestroyOfANeverComputedInstanceFreesAndDetachesIt) {
    addInstance(gridMesh(1, 1));
    host.log.clear();
    send(MSG_OBJECT, OBJ_DESTROY);
    const std::string i = std::to_string(item);
    EXPECT_THAT(host.log.texts(), ElementsAre("fxObjectGetTypeData(" + i + ", 0)",
                                              "fxObjectSetTypeData(" + i + ", null, 0)"));
    EXPECT_EQ(record(), nullptr);
    EXPECT_EQ(host.attachedRecords(), 0u);
    EXPECT_EQ(host.channels.linkCount(), 0u);
}

// A captured rest state with an isolated point (a null list among the
// others) is freed whole; the leak check of the suite run sees the rest.
TEST_F(InstanceTest, DestroyOfACapturedInstanceFreesTheRestStateAndTwiceIsHarmless) {
    host::Mesh shape({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 5, 5}}, {{0, 1, 2}});
    addInstance(shape);
    computeWeights();
    ASSERT_EQ(record()->captured, 1);
    ASSERT_EQ(record()->rest.neighbourLists[3], nullptr);
    send(MSG_OBJECT, OBJ_DESTROY);
    EXPECT_EQ(record(), nullptr);
    EXPECT_EQ(host.channels.linkCount(), 0u);

    host.log.clear();
    EXPECT_EQ(send(MSG_OBJECT, OBJ_DESTROY), 0);
    EXPECT_THAT(host.log.texts(),
                ElementsAre("fxObjectGetTypeData(" + std::to_string(item) + ", 0)"));
}

TEST_F(InstanceTest, ComputeScansTheItemWithTheRecord) {
    addInstance(gridMesh(1, 1));
    host.log.clear();
    computeWeights();
    const auto scans = host.log.texts("fxWeightToolScan");
    ASSERT_THAT(scans, ElementsAre("fxWeightToolScan(" + std::to_string(item) + ", &, fn, 0)"));
    for (const host::HostCall& call : host.log.calls()) {
        if (call.function == "fxWeightToolScan") {
            EXPECT_EQ(call.pointers[1], reinterpret_cast<uintptr_t>(record()));
        }
    }
    EXPECT_THAT(host.log.texts("fxWeightToolValueSet"),
                ElementsAre("fxWeightToolValueSet(0, 0, 0)", "fxWeightToolValueSet(1, 0, 0)",
                            "fxWeightToolValueSet(2, 0, 0)", "fxWeightToolValueSet(3, 0, 0)"));
}

}  // namespace
}  // namespace kestrin::test
