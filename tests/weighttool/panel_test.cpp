// The controls panel, the display set-up and the toggle callbacks.
#include "strainmark_fixture.h"

namespace kestrin::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class PanelTest : public StrainmarkTest {
protected:
    HostHandle control(const std::string& label) {
        const host::Control* found = host.controls.find(module, label);
        return found != nullptr ? found->id : 0;
    }
};

TEST_F(PanelTest, BuildMakesTheBlockAndPlacesItInAnimateAndSetup) {
    host.log.clear();
    EXPECT_EQ(host.send(module, 0, MSG_INTERFACE, INTERFACE_BUILD), 0);
    const HostHandle block = host.controls.lastBlock(module);
    const std::string b = std::to_string(block);
    const std::string exponent = std::to_string(block + 1);
    EXPECT_THAT(host.log.texts(),
                ElementsAre("fxCC_Block(\"Strainmark\", 0, 0, 0)",
                            "fxCC_ChannelFloat(\"Exponent\", null, 0, 0, 0)",
                            "fxConSetPos(" + exponent + ", 75, 4)",
                            "fxCC_ChannelFloat(\"Pre Multi\", null, 0, 1, 0)",
                            "fxCC_ChannelFloat(\"Post Multi\", null, 0, 2, 0)",
                            "fxCC_ChannelFloat(\"Stretch Multi\", null, 0, 3, 0)",
                            "fxCC_ChannelFloat(\"Squash Multi\", null, 0, 4, 0)",
                            "fxCC_Bool(\"Clamp\", fn, 1, 0)",
                            "fxCC_Bool(\"Only Positive\", fn, 1, 0)",
                            "fxCC_Bool(\"Squash/Stretch switch\", fn, 1, 0)",
                            "fxInterfaceBlockSet(\"Animate\", null, null, " + b + ", 0)",
                            "fxInterfaceBlockSet(\"Animate\", \"Animate\", \"Spline\", 0, 0)",
                            "fxInterfaceBlockSet(\"Animate\", \"Animate\", \"WeightDraw\", 0, 0)",
                            "fxInterfaceBlockSet(\"Setup\", null, null, " + b + ", 0)",
                            "fxInterfaceBlockSet(\"Setup\", \"Setup\", \"WeightDraw\", 0, 0)"));
    EXPECT_EQ(host.controls.inBlock(block).size(), 8u);
    EXPECT_EQ(host.controls.find(module, "Exponent")->block, block);
}

TEST_F(PanelTest, RebuildingPlacesTheNewBlock) {
    host.send(module, 0, MSG_INTERFACE, INTERFACE_BUILD);
    const HostHandle first = host.controls.lastBlock(module);
    host.send(module, 0, MSG_INTERFACE, INTERFACE_BUILD);
    const HostHandle second = host.controls.lastBlock(module);
    ASSERT_NE(first, second);
    EXPECT_EQ(host.controls.placements.back().ownBlock, 0u);
    EXPECT_EQ(host.controls.placements[host.controls.placements.size() - 2].ownBlock, second);
}

TEST_F(PanelTest, DisplaySetupAsksForSliderColourAndNoTool) {
    host.log.clear();
    EXPECT_EQ(host.send(module, 0, MSG_DISPLAY, DISPLAY_SETUP), 0);
    EXPECT_THAT(host.log.texts(), ElementsAre("fxInitEffectManipulator(\"EditSlider\", 0)",
                                              "fxInitEffectColor(200, 220, 0)",
                                              "fxInitEffectTool(\"Null\", 0)"));
}

struct ToggleField {
    const char* label;
    int32_t WeightToolInstance::*field;
    int32_t initial;
};

// Each check box of the list with its own field and default, line by line:
// a box whose callback were wired by position would move another box's
// field here as soon as the list is reordered.
const ToggleField toggles[] = {
#define WEIGHT_TOGGLE(field, callback, label, savedKey, savedPosition, value, ...) \
    {label, &WeightToolInstance::field, value},
#include "weight_toggles.def"
};

TEST_F(PanelTest, EachToggleReadsAndShowsItsOwnFieldWhateverTheListsOrder) {
    addInstance(gridMesh(1, 1));
    host.send(module, 0, MSG_INTERFACE, INTERFACE_BUILD);
    for (const ToggleField& toggle : toggles) {
        const HostHandle id = control(toggle.label);
        const std::string c = std::to_string(id);
        const int32_t flipped = 1 - toggle.initial;

        host.log.clear();
        EXPECT_EQ(host.changeControl(id, item, flipped), 0);
        EXPECT_THAT(host.log.texts(),
                    ElementsAre("fxObjectGetTypeData(" + std::to_string(item) + ", 0)",
                                "fxConGetInt(" + c + ", &)", "fxInterfaceUpdate(63, 0)"))
            << toggle.label;
        EXPECT_EQ(record()->*toggle.field, flipped) << toggle.label;
        for (const ToggleField& other : toggles) {
            if (&other != &toggle) {
                const int32_t expected = &other < &toggle ? 1 - other.initial : other.initial;
                EXPECT_EQ(record()->*other.field, expected) << toggle.label << " moved "
                                                            << other.label;
            }
        }

        host.controls.find(id)->intValue = 7;  // shows something else until refreshed
        host.log.clear();
        EXPECT_EQ(host.refreshControl(id, item), 0);
        EXPECT_THAT(host.log.texts(),
                    ElementsAre("fxObjectGetTypeData(" + std::to_string(item) + ", 0)",
                                "fxConSetInt(" + c + ", " + std::to_string(flipped) + ")"));
        EXPECT_EQ(host.controls.find(id)->intValue, flipped);
    }
}

TEST_F(PanelTest, OtherEventsAndItemsWithoutARecordDoNothing) {
    addInstance(gridMesh(1, 1));
    const HostHandle bare = host.scene.addObject("Bare", gridMesh(1, 1));
    host.send(module, 0, MSG_INTERFACE, INTERFACE_BUILD);
    const uint64_t others[] = {2, uint64_t{1} << 32, (uint64_t{1} << 32) + 1, ~uint64_t{0}};
    for (const ToggleField& toggle : toggles) {
        const HostHandle id = control(toggle.label);
        for (uint64_t event : others) {
            host.log.clear();
            EXPECT_EQ(host.controlEvent(id, item, event), 0);
            EXPECT_THAT(host.log.texts(),
                        ElementsAre("fxObjectGetTypeData(" + std::to_string(item) + ", 0)"))
                << toggle.label << " event " << event;
        }
        for (uint64_t event : {CONTROL_CHANGED, CONTROL_REFRESH}) {
            host.log.clear();
            EXPECT_EQ(host.controlEvent(id, bare, event), 0);
            EXPECT_THAT(host.log.texts(),
                        ElementsAre("fxObjectGetTypeData(" + std::to_string(bare) + ", 0)"));
        }
        EXPECT_EQ(record()->*toggle.field, toggle.initial);
    }
}

}  // namespace
}  // namespace kestrin::test
