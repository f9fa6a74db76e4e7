// The "LagData" block: what is saved, what loading restores, and a real
// save and load through a settings file.
#include <cstdio>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "strainmark_fixture.h"

namespace kestrin::test {
namespace {

using ::testing::ElementsAre;

class SettingsTest : public StrainmarkTest {
protected:
    std::string tempPath(const std::string& name) {
        return (std::filesystem::path(::testing::TempDir()) / name).string();
    }
};

TEST_F(SettingsTest, SavingTheDefaultsWritesSixKeysInOrder) {
    addInstance(gridMesh(1, 1));
    host::SettingsContext context;
    host.log.clear();
    EXPECT_EQ(host.saveInstance(module, item, context), 0);
    EXPECT_THAT(host.log.texts(),
                ElementsAre("fxObjectGetTypeData(" + std::to_string(item) + ", 0)",
                            "fxFormatNew(&, \"LagData\", 0)",
                            "fxArgSaveInt(&, \"positive\", 0, 0)",
                            "fxArgSaveInt(&, \"switch_mode\", 0, 0)",
                            "fxArgSaveInt(&, \"clamp_values\", 1, 0)",
                            "fxArgSaveDouble(&, \"lag\", 0.2, 0)",
                            "fxArgSaveDouble(&, \"multiplier1\", 0.5, 0)",
                            "fxArgSaveDouble(&, \"multiplier2\", 0.5, 0)"));
    ASSERT_EQ(context.blocks().size(), 1u);
    std::vector<std::string> keys;
    for (const host::SavedValue& value : context.blocks()[0].values) keys.push_back(value.key);
    EXPECT_THAT(keys, ElementsAre("positive", "switch_mode", "clamp_values", "lag",
                                  "multiplier1", "multiplier2"));
}

TEST_F(SettingsTest, LoadingReadsTheKeysInOrderAfterTheReset) {
    addInstance(gridMesh(1, 1));
    host::SettingsContext context;
    host.saveInstance(module, item, context);
    host.log.clear();
    host.send(module, item, MSG_OBJECT, OBJ_LOAD, &context);
    EXPECT_THAT(host.log.texts(),
                ElementsAre("fxObjectGetTypeData(" + std::to_string(item) + ", 0)",
                            "fxFormatGet(&, \"LagData\")", "fxArgLoadInt(&, \"positive\", &)",
                            "fxArgLoadInt(&, \"switch_mode\", &)",
                            "fxArgLoadInt(&, \"clamp_values\", &)",
                            "fxArgLoadDouble(&, \"lag\", &)",
                            "fxArgLoadDouble(&, \"multiplier1\", &)",
                            "fxArgLoadDouble(&, \"multiplier2\", &)"));
}

// Every channel moved from its default.
void moveChannels(host::Host& host, HostHandle item) {
    host.channels.set(item, "Exponent", 0.35);
    host.channels.set(item, "Pre Multiplier", 0.8);
    host.channels.set(item, "Post Multiplier", 0.65);
    host.channels.set(item, "Stretch Multi", 0.3);
    host.channels.set(item, "Squash Multi", 0.9);
}

TEST_F(SettingsTest, SavedBlockRestoresAllSixValuesInAFreshInstance) {
    addInstance(cubeMesh(), "Saved");
    setToggle("Clamp", 0);
    setToggle("Only Positive", 1);
    setToggle("Squash/Stretch switch", 1);
    moveChannels(host, item);
    host::SettingsContext saved;
    host.saveInstance(module, item, saved);

    // A fresh instance that knows nothing of the first.
    host::SettingsContext read = saved;
    addInstance(cubeMesh(), "Loaded");
    host.loadInstance(module, item, read);
    const WeightToolInstance* tool = record();
    EXPECT_EQ(tool->onlyPositive, 1);
    EXPECT_EQ(tool->switchMode, 1);
    EXPECT_EQ(tool->clampValues, 0);
    EXPECT_EQ(tool->exponent, 0.35);
    EXPECT_EQ(tool->preMultiplier, 0.8);
    EXPECT_EQ(tool->postMultiplier, 0.65);
    EXPECT_EQ(tool->captured, 0);

    // The host restored the channels, the stretch and squash multipliers
    // with them, so the next message keeps what was loaded.
    host::SettingsContext again;
    host.saveInstance(module, item, again);
    EXPECT_EQ(again.channels, saved.channels);
    ASSERT_EQ(again.blocks().size(), saved.blocks().size());
    for (size_t b = 0; b < saved.blocks().size(); ++b) {
        const auto& before = saved.blocks()[b].values;
        const auto& after = again.blocks()[b].values;
        ASSERT_EQ(after.size(), before.size());
        for (size_t v = 0; v < before.size(); ++v) {
            EXPECT_EQ(after[v].key, before[v].key);
            EXPECT_EQ(after[v].type, before[v].type);
            EXPECT_EQ(after[v].intValue, before[v].intValue);
            EXPECT_EQ(after[v].doubleValue, before[v].doubleValue);
        }
    }
    EXPECT_EQ(record()->stretchMultiplier, 0.3);
    EXPECT_EQ(record()->squashMultiplier, 0.9);
}

// Without the host's channel values, only the block speaks.
TEST_F(SettingsTest, LoadingOnlyTheBlockRestoresTheSixFields) {
    addInstance(gridMesh(1, 1));
    setToggle("Only Positive", 1);
    host.channels.set(item, "Exponent", 0.1);
    host::SettingsContext context;
    host.saveInstance(module, item, context);
    context.channels.clear();

    addInstance(gridMesh(1, 1), "Fresh");
    host.send(module, item, MSG_OBJECT, OBJ_LOAD, &context);
    EXPECT_EQ(record()->onlyPositive, 1);
    EXPECT_EQ(record()->exponent, 0.1);
    EXPECT_EQ(record()->clampValues, 1);
}

// A missing key leaves the field as the reset left it: the exponent at 0,
// the clamp on, the other toggles as they were.
TEST_F(SettingsTest, MissingKeysKeepTheResetValues) {
    addInstance(gridMesh(1, 1));
    setToggle("Clamp", 0);
    setToggle("Squash/Stretch switch", 1);
    host::SettingsContext empty;
    empty.newBlock("LagData");
    host.send(module, item, MSG_OBJECT, OBJ_LOAD, &empty);
    EXPECT_EQ(record()->exponent, 0.0);
    EXPECT_EQ(record()->clampValues, 1);
    EXPECT_EQ(record()->switchMode, 1);
    EXPECT_EQ(record()->preMultiplier, 0.5);

    host::SettingsContext noBlock;  // fxFormatGet finds nothing: a null block
    host.send(module, item, MSG_OBJECT, OBJ_LOAD, &noBlock);
    EXPECT_EQ(record()->clampValues, 1);
    EXPECT_EQ(record()->switchMode, 1);
}

}  // namespace
}  // namespace kestrin::test
