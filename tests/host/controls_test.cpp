// Controls: records inside the last block, values read and written through
// the host functions, and the user's side through Host.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host.h"
#include "messages.h"
#include "served.h"

namespace kestrin::host {
namespace {

struct CallbackCall {
    int callingModule;
    HostHandle control;
    HostHandle item;
    uint64_t event;
    int32_t valueSeen;
    HostHandle objectSeen;
};
std::vector<CallbackCall> callbackCalls;

int32_t recordingCallback(HostHandle control, HostHandle item, void*, uint64_t event) {
    int32_t value = -1;
    HostHandle object = 0;
    served::fxConGetInt(control, &value);
    served::fxConGetObj(control, &object);
    callbackCalls.push_back(
        {Host::active()->callingModule(), control, item, event, value, object});
    return 5;
}

class ControlsTest : public ::testing::Test {
protected:
    Host host;
    void SetUp() override { callbackCalls.clear(); }
};

TEST_F(ControlsTest, ControlsGoIntoTheBlockTheirModuleMadeLast) {
    HostHandle firstBlock = 0, secondBlock = 0, popup = 0, other = 0;
    host.callInto(2, [&] {
        firstBlock = served::fxCC_Block("One", 0, 0, 0);
        served::fxCC_Bool("Flag", recordingCallback, 1, 0);
        secondBlock = served::fxCC_Block("Two", 0, 0, 0);
        popup = served::fxCC_ObjectPopup("Target", recordingCallback, 1, 175, nullptr, nullptr,
                                         nullptr, 256);
        served::fxCC_WeightPopup("Map", recordingCallback, 1, 175);
        return 0;
    });
    host.callInto(3, [&] { return other = served::fxCC_ChannelFloat("Flag", nullptr, 0, 4, 0); });

    EXPECT_EQ(host.controls.inBlock(firstBlock).size(), 1u);
    EXPECT_EQ(host.controls.inBlock(secondBlock).size(), 2u);
    const Control* target = host.controls.find(popup);
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->kind, ControlKind::ObjectPopup);
    EXPECT_EQ(target->label, "Target");
    EXPECT_EQ(target->block, secondBlock);
    EXPECT_THAT(target->arguments,
                ::testing::ElementsAre("1", "175", "null", "null", "null", "256"));
    EXPECT_EQ(host.controls.find(3, "Flag")->id, other);
    EXPECT_EQ(host.controls.find(3, "Flag")->channel, 4);
    EXPECT_EQ(host.controls.find(3, "Flag")->block, 0u) << "module 3 made no block";
    EXPECT_EQ(host.controls.find(2, "Flag")->kind, ControlKind::Bool);
    EXPECT_EQ(host.controls.find(2, "Missing"), nullptr);
    // Control handles never name a scene object.
    EXPECT_GE(firstBlock, ControlStore::FIRST_HANDLE);
}

TEST_F(ControlsTest, ValuesAreReadAndWrittenThroughTheHostFunctions) {
    const HostHandle flag = host.callInto(0, [] {
        return served::fxCC_Bool("Flag", recordingCallback, 1, 0);
    });
    served::fxConSetInt(flag, 1);
    served::fxConSetObj(flag, 42);
    int32_t value = 0;
    HostHandle object = 0;
    served::fxConGetInt(flag, &value);
    served::fxConGetObj(flag, &object);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(object, 42u);
    served::fxConSetPos(flag, 75, 4);
    EXPECT_TRUE(host.controls.find(flag)->positioned);
    EXPECT_EQ(host.controls.find(flag)->x, 75);

    value = 9;
    EXPECT_NE(served::fxConGetInt(12345, &value), 0);
    EXPECT_EQ(value, 9) << "an unknown control writes nothing";
}

TEST_F(ControlsTest, TheUserChangesAControlAndItsModuleHearsAboutIt) {
    const HostHandle flag = host.callInto(4, [] {
        return served::fxCC_Bool("Flag", recordingCallback, 1, 0);
    });
    const HostHandle popup = host.callInto(4, [] {
        return served::fxCC_ObjectPopup("Target", recordingCallback, 1, 175, nullptr, nullptr,
                                        nullptr, 256);
    });
    EXPECT_EQ(host.changeControl(flag, 9, 1), 5);
    EXPECT_EQ(host.changeControlObject(popup, 9, 3), 5);
    EXPECT_EQ(host.refreshControl(flag, 9), 5);
    EXPECT_EQ(host.controlEvent(flag, 9, uint64_t{1} << 32), 5);
    ASSERT_EQ(callbackCalls.size(), 4u);
    EXPECT_EQ(callbackCalls[0].callingModule, 4);
    EXPECT_EQ(callbackCalls[0].event, CONTROL_CHANGED);
    EXPECT_EQ(callbackCalls[0].valueSeen, 1);
    EXPECT_EQ(callbackCalls[0].item, 9u);
    EXPECT_EQ(callbackCalls[1].objectSeen, 3u);
    EXPECT_EQ(callbackCalls[2].event, CONTROL_REFRESH);
    EXPECT_EQ(callbackCalls[3].event, uint64_t{1} << 32);
    EXPECT_EQ(host.callingModule(), -1);

    const HostHandle noCallback = host.callInto(4, [] {
        return served::fxCC_ChannelFloat("Amount", nullptr, 0, 0, 0);
    });
    EXPECT_EQ(host.changeControl(noCallback, 9, 1), -1);
    EXPECT_EQ(host.changeControl(99999, 9, 1), -1);
}

TEST_F(ControlsTest, PlacementsUpdatesAndDisplaySetUpAreKept) {
    host.callInto(1, [] {
        served::fxInterfaceBlockSet("Animate", nullptr, "Spline", 0, 0);
        served::fxInterfaceUpdate(63, 0);
        served::fxInitEffectManipulator("EditSlider", 0);
        served::fxInitEffectColor(200, 220, 0);
        return served::fxInitEffectTool("Null", 0);
    });
    ASSERT_EQ(host.controls.placements.size(), 1u);
    EXPECT_EQ(host.controls.placements[0].section, "Animate");
    EXPECT_EQ(host.controls.placements[0].hostBlock, "Spline");
    EXPECT_EQ(host.controls.interfaceUpdates, 1);
    const DisplaySetup& display = host.controls.display[1];
    EXPECT_EQ(display.manipulator, "EditSlider");
    EXPECT_EQ(display.color[1], 220);
    EXPECT_EQ(display.tool, "Null");
}

}  // namespace
}  // namespace kestrin::host
