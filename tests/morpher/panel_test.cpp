// The panel, the display set-up, the three choice controls and the "LagData"
// block.
#include "messages.h"
#include "strainshaper_fixture.h"

namespace kestrin::test {
namespace {

using Texts = std::vector<std::string>;

// The record field a channel is linked to, as the record holds it now.
double linkedField(const host::Host& host, int module, HostHandle item, int32_t index) {
    const host::Channel* channel = host.channels.find(module, item, index);
    return channel != nullptr && channel->link != nullptr ? *channel->link : -1.0;
}

const host::SavedValue* saved(const host::SettingsContext& context, const char* key) {
    const host::SavedBlock* block = context.block("LagData");
    return block != nullptr ? block->find(key) : nullptr;
}

TEST_F(Strainshaper, PanelIsBuiltInOrderEveryTimeItIsAsked) {
    for (int round = 0; round < 2; ++round) {
        host.log.clear();
        host.send(module, 0, MSG_INTERFACE, INTERFACE_BUILD);
        const std::string block = std::to_string(host.controls.lastBlock(module));
        const std::string exponent = std::to_string(control("Exponent"));
        EXPECT_EQ(host.log.texts(), (Texts{
            "fxCC_Block(\"Strainshaper\", 0, 0, 0)",
            "fxCC_ChannelFloat(\"Exponent\", null, 0, 0, 0)",
            "fxConSetPos(" + exponent + ", 75, 4)",
            "fxCC_ChannelFloat(\"Pre Multiplier\", null, 0, 1, 0)",
            "fxCC_ChannelFloat(\"Post Multiplier\", null, 0, 2, 0)",
            "fxCC_ChannelFloat(\"Stretch Multiplier\", null, 0, 3, 0)",
            "fxCC_ChannelFloat(\"Squash Multiplier\", null, 0, 4, 0)",
            "fxCC_WeightPopup(\"Weight\", fn, 1, 175)",
            "fxCC_ObjectPopup(\"Squash object\", fn, 1, 175, null, null, null, 256)",
            "fxCC_ObjectPopup(\"Stretch object\", fn, 1, 175, null, null, null, 256)",
            "fxInterfaceBlockSet(\"Animate\", null, null, " + block + ", 0)",
            "fxInterfaceBlockSet(\"Animate\", \"Animate\", \"Spline\", 0, 0)",
            "fxInterfaceBlockSet(\"Setup\", null, null, " + block + ", 0)",
        }));
    }
}

TEST_F(Strainshaper, DisplaySetupAsksForSliderColourAndNoTool) {
    host.send(module, item, MSG_DISPLAY, DISPLAY_SETUP);
    EXPECT_EQ(host.log.texts(), (Texts{"fxInitEffectManipulator(\"EditSlider\", 0)",
                                       "fxInitEffectColor(200, 220, 0)",
                                       "fxInitEffectTool(\"Null\", 0)"}));
}

// Each choice control moves its value into its own field and shows it back.
TEST_F(Strainshaper, ChoiceControlsReadAndShowTheirField) {
    const HostHandle map = host.scene.addWeightMap(item, "Mask");
    const struct {
        const char* label;
        const char* key;
        HostHandle value;
    } choices[] = {{"Weight", "weight", map}, {"Stretch object", "stretch", stretch},
                   {"Squash object", "squash", squash}};
    for (const auto& choice : choices) {
        SCOPED_TRACE(choice.label);
        const HostHandle c = control(choice.label);
        host.log.clear();
        EXPECT_EQ(host.changeControlObject(c, item, choice.value), 0);
        EXPECT_EQ(host.log.texts(), (Texts{"fxObjectGetTypeData(1, 0)",
                                           "fxConGetObj(" + std::to_string(c) + ", &)"}));
        host::SettingsContext context;
        host.saveInstance(module, item, context);
        ASSERT_NE(saved(context, choice.key), nullptr);
        EXPECT_EQ(saved(context, choice.key)->objectValue, choice.value);

        host.controls.find(c)->objectValue = 0;  // the control forgets; the record does not
        host.log.clear();
        EXPECT_EQ(host.refreshControl(c, item), 0);
        EXPECT_EQ(host.log.texts().back(),
                  "fxConSetObj(" + std::to_string(c) + ", " + std::to_string(choice.value) + ")");
        EXPECT_EQ(host.controls.find(c)->objectValue, choice.value);
    }
}

TEST_F(Strainshaper, OtherControlEventsDoNothing) {
    const uint64_t events[] = {2, (uint64_t{1} << 32) | CONTROL_CHANGED,
                               (uint64_t{1} << 32) | CONTROL_REFRESH};
    for (const uint64_t event : events) {
        host.log.clear();
        EXPECT_EQ(host.controlEvent(control("Stretch object"), item, event), 0);
        EXPECT_EQ(host.log.texts(), Texts{"fxObjectGetTypeData(1, 0)"}) << event;
    }
}

TEST_F(Strainshaper, SaveRightAfterCreateHoldsTheDefaults) {
    host::SettingsContext context;
    host.log.clear();
    host.send(module, item, MSG_OBJECT, OBJ_SAVE, &context);
    EXPECT_EQ(host.log.texts(), (Texts{
        "fxObjectGetTypeData(1, 0)",
        "fxFormatNew(&, \"LagData\", 0)",
        "fxArgSaveObj(&, \"weight\", 0, 0)",
        "fxArgSaveObj(&, \"stretch\", 0, 0)",
        "fxArgSaveObj(&, \"squash\", 0, 0)",
        "fxArgSaveInt(&, \"scan\", 0, 0)",
        "fxArgSaveDouble(&, \"lag\", 0.2, 0)",
        "fxArgSaveDouble(&, \"multiplier1\", 0.5, 0)",
        "fxArgSaveDouble(&, \"multiplier2\", 0.5, 0)",
    }));
    ASSERT_EQ(context.blocks().size(), 1u);
    EXPECT_EQ(context.block("LagData")->values.size(), 7u);
}

TEST_F(Strainshaper, LoadReadsTheSevenKeysInSaveOrderAndLeavesTheMultipliers) {
    host::SettingsContext context;
    host::SavedBlock* block = context.newBlock("LagData");
    const auto put = [&](const char* key, host::SavedType type, double number, HostHandle object) {
        host::SavedValue value;
        value.key = key;
        value.type = type;
        value.intValue = static_cast<int32_t>(number);
        value.doubleValue = number;
        value.objectValue = object;
        block->values.push_back(value);
    };
    put("weight", host::SavedType::Object, 0, 7);
    put("stretch", host::SavedType::Object, 0, squash);
    put("squash", host::SavedType::Object, 0, stretch);
    put("scan", host::SavedType::Int, 1, 0);
    put("lag", host::SavedType::Double, 0.35, 0);
    put("multiplier1", host::SavedType::Double, 0.75, 0);
    put("multiplier2", host::SavedType::Double, 0.125, 0);

    host.send(module, item, MSG_OBJECT, OBJ_LOAD, &context);
    EXPECT_EQ(host.log.texts(), (Texts{
        "fxObjectGetTypeData(1, 0)",
        "fxFormatGet(&, \"LagData\")",
        "fxArgLoadObj(&, \"weight\", &)",
        "fxArgLoadObj(&, \"stretch\", &)",
        "fxArgLoadObj(&, \"squash\", &)",
        "fxArgLoadInt(&, \"scan\", &)",
        "fxArgLoadDouble(&, \"lag\", &)",
        "fxArgLoadDouble(&, \"multiplier1\", &)",
        "fxArgLoadDouble(&, \"multiplier2\", &)",
    }));
    EXPECT_EQ(linkedField(host, module, item, 0), 0.35);
    EXPECT_EQ(linkedField(host, module, item, 1), 0.75);
    EXPECT_EQ(linkedField(host, module, item, 2), 0.125);
    EXPECT_EQ(linkedField(host, module, item, 3), 0.5);
    EXPECT_EQ(linkedField(host, module, item, 4), 0.5);

    host::SettingsContext again;
    host.send(module, item, MSG_OBJECT, OBJ_SAVE, &again);
    EXPECT_EQ(saved(again, "weight")->objectValue, 7u);
    EXPECT_EQ(saved(again, "stretch")->objectValue, squash);
    EXPECT_EQ(saved(again, "squash")->objectValue, stretch);
    EXPECT_EQ(saved(again, "scan")->intValue, 1);
}

// A block without "lag": the exponent is the reset value, not the old one.
TEST_F(Strainshaper, LoadWithoutLagLeavesTheExponentAtZero) {
    host::SettingsContext context;
    context.newBlock("LagData");
    host.send(module, item, MSG_OBJECT, OBJ_LOAD, &context);
    EXPECT_EQ(linkedField(host, module, item, 0), 0.0);
    EXPECT_EQ(linkedField(host, module, item, 1), 0.5);
}

// A full save and load through the host keeps every setting, choices and
// channels alike, and the next setup pass captures again.
TEST_F(Strainshaper, SaveAndLoadRoundTripAndForceANewCapture) {
    const HostHandle map = host.scene.addWeightMap(item, "Mask");
    chooseWeightMap(map);
    chooseStretch(stretch);
    chooseSquash(squash);
    setChannel("Exponent", 0.3);
    setChannel("Pre Multiplier", 0.6);
    setup();
    host::SettingsContext context;
    host.saveInstance(module, item, context);

    chooseStretch(0);
    setChannel("Exponent", 0.9);
    host.loadInstance(module, item, context);
    host::SettingsContext again;
    host.saveInstance(module, item, again);
    ASSERT_EQ(again.block("LagData")->values.size(), 7u);
    for (const host::SavedValue& value : context.block("LagData")->values) {
        const host::SavedValue* other = again.block("LagData")->find(value.key);
        ASSERT_NE(other, nullptr) << value.key;
        EXPECT_EQ(other->objectValue, value.objectValue) << value.key;
        EXPECT_EQ(other->intValue, value.intValue) << value.key;
        EXPECT_EQ(other->doubleValue, value.doubleValue) << value.key;
    }
    EXPECT_EQ(saved(again, "lag")->doubleValue, 0.3);

    host.log.clear();
    setup();
    EXPECT_FALSE(calls("fxMeshPointPolys").empty()) << "the rest state is built again";
}

// A new target choice reaches the rest state only through a new capture.
TEST_F(Strainshaper, ChoosingAnotherTargetAfterTheCaptureKeepsTheOffsets) {
    chooseStretch(stretch);
    chooseSquash(squash);
    setup();
    const HostHandle other = host.scene.addObject(
        "Other", host::Mesh(mapped(rest, [](Point3 p) { return add(p, {5, 5, 5}); }),
                            gridQuads(3, 3)));
    chooseStretch(other);
    host.log.clear();
    setup();
    EXPECT_TRUE(calls("fxMeshPoint").empty());
    const std::vector<Point3> doubled = mapped(rest, [](Point3 p) { return scale(p, 2.0); });
    std::vector<Point3> expected;
    for (size_t i = 0; i < rest.size(); ++i) {
        expected.push_back(add(doubled[i], subtract(stretchTarget[i], rest[i])));
    }
    expectPointsNear(displaceAt(doubled), expected);
    host::SettingsContext context;
    host.saveInstance(module, item, context);
    EXPECT_EQ(saved(context, "stretch")->objectValue, other);
}

}  // namespace
}  // namespace kestrin::test
