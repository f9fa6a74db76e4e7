// Settings files: what a session saves reads back into a fresh instance,
// each value stored once; older files still read; damaged ones are refused
// whole, naming the file and the reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "settings_file.h"
#include "files/format_error.h"

namespace kestrin::drive {
namespace {

using host::SavedSetting;
using host::SavedSettings;

SavedSettings strainmarkSettings() {
    SavedSettings settings;
    settings.module = "Strainmark";
    settings.channels = {{"Exponent", 0.35}, {"Pre Multiplier", 0.8}, {"Post Multiplier", 0.65},
                         {"Stretch Multi", 0.3}, {"Squash Multi", 0.9}};
    auto value = [](const char* key, SavedSetting::Type type, int32_t i, double d, const char* object) {
        SavedSetting setting;
        setting.key = key;
        setting.type = type;
        setting.intValue = i;
        setting.doubleValue = d;
        setting.objectName = object;
        return setting;
    };
    settings.blocks = {{"LagData",
                        {value("positive", SavedSetting::Type::Int, 1, 0, ""),
                         value("target", SavedSetting::Type::Object, 0, 0, "Sphere"),
                         value("none", SavedSetting::Type::Object, 0, 0, ""),
                         value("huge", SavedSetting::Type::Double, 0, -INFINITY, ""),
                         value("lag", SavedSetting::Type::Double, 0, 0.35, ""),
                         value("multiplier1", SavedSetting::Type::Double, 0, 0.8, ""),
                         value("multiplier2", SavedSetting::Type::Double, 0, 0.65, "")}}};
    return settings;
}

size_t occurrences(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

TEST(SettingsFile, RoundTripStoresEachChannelOnceAndRestoresTheBlockKeys) {
    const SavedSettings saved = strainmarkSettings();
    const std::string text = settingsToText(saved);
    EXPECT_EQ(occurrences(text, "0.35"), 1u) << text;
    EXPECT_EQ(occurrences(text, "\"lag\""), 0u) << text;
    EXPECT_EQ(occurrences(text, "\"-inf\""), 1u) << text;

    const SavedSettings read = settingsFromText(text, "s.json");
    EXPECT_EQ(read.module, "Strainmark");
    EXPECT_EQ(read.channels, saved.channels);
    ASSERT_EQ(read.blocks.size(), 1u);
    const auto& values = read.blocks[0].values;
    ASSERT_EQ(values.size(), saved.blocks[0].values.size());
    for (const SavedSetting& expected : saved.blocks[0].values) {
        auto found = std::find_if(values.begin(), values.end(),
                                  [&](const SavedSetting& v) { return v.key == expected.key; });
        ASSERT_NE(found, values.end()) << expected.key;
        EXPECT_EQ(found->type, expected.type) << expected.key;
        EXPECT_EQ(found->intValue, expected.intValue) << expected.key;
        EXPECT_EQ(found->doubleValue, expected.doubleValue) << expected.key;
        EXPECT_EQ(found->objectName, expected.objectName) << expected.key;
    }
    EXPECT_EQ(settingsToText(read), text);
}

// Files written before each value was stored once: the channels beside the
// block win over the block's own keys, which stand in where no channel is.
TEST(SettingsFile, OlderFilesStillRead) {
    const std::string version1 = R"({"kestrin_tool_settings": 1, "module": "Strainmark",
        "channels": {"Exponent": 0.4},
        "saved": {"kestrin_settings": 1, "blocks": [{"name": "LagData", "values": [
            {"key": "lag", "type": "double", "value": 0.9},
            {"key": "multiplier1", "type": "double", "value": 0.7}]}],
          "channels": [{"name": "Exponent", "value": 0.9}]}})";
    const SavedSettings read = settingsFromText(version1, "old.json");
    EXPECT_EQ(read.module, "Strainmark");
    const std::vector<std::pair<std::string, double>> channels = {{"Exponent", 0.4}, {"Pre Multiplier", 0.7}};
    EXPECT_EQ(read.channels, channels);
    for (const SavedSetting& value : read.blocks.at(0).values) {
        if (value.key == "lag") {
            EXPECT_EQ(value.doubleValue, 0.9);
        }
    }
    const SavedSettings bare = settingsFromText(
        R"({"kestrin_settings": 1, "blocks": [{"name": "LagData", "values": []}]})", "bare.json");
    EXPECT_EQ(bare.module, "");
    EXPECT_EQ(bare.blocks.at(0).name, "LagData");
}

TEST(SettingsFile, DamagedFilesAreRefusedWholeWithTheirNameAndReason) {
    struct Case {
        const char* text;
        const char* reason;
    };
    const Case cases[] = {
        {"{\"kestrin_settings\": 1, \"blocks\": [", "not a JSON settings file"},
        {"[1, 2]", "not a settings document"},
        {"{\"blocks\": []}", "no \"kestrin_settings\" version"},
        {"{\"kestrin_settings\": 2, \"blocks\": []}", "version 2 is not supported"},
        {"{\"kestrin_tool_settings\": 3}", "settings file version 3 is not supported"},
        {"{\"kestrin_tool_settings\": 2, \"module\": 7}", "no \"module\" name"},
        {"{\"kestrin_tool_settings\": 2, \"module\": \"Strainmark\"}", "no \"blocks\" list"},
        {"{\"kestrin_tool_settings\": 1, \"module\": \"Strainmark\"}", "no \"saved\" settings"},
        {"{\"kestrin_tool_settings\": 2, \"module\": \"Strainmark\", \"blocks\": [], "
         "\"channels\": {\"Exponent\": \"x\"}}",
         "channel \"Exponent\" is not a number"},
        {"{\"kestrin_settings\": 1, \"blocks\": [{\"name\": \"A\", \"values\": "
         "[{\"key\": \"k\", \"type\": \"int\", \"value\": 4294967296}]}]}",
         "block \"A\": value \"k\" is not a 32-bit integer"},
        {"{\"kestrin_settings\": 1, \"blocks\": [{\"name\": \"A\", \"values\": "
         "[{\"key\": \"k\", \"type\": \"text\", \"value\": 1}]}]}",
         "unknown type \"text\""},
        {"{\"kestrin_settings\": 1, \"blocks\": [], \"channels\": [{\"name\": 1}]}",
         "a channel is not {name, value}"},
        {"{\"kestrin_settings\": 1, \"blocks\": [], \"x\": 1e400}", "not a JSON settings file"},
    };
    for (const Case& c : cases) {
        try {
            settingsFromText(c.text, "bad.json");
            ADD_FAILURE() << "read: " << c.text;
        } catch (const formats::FormatError& error) {
            const std::string message = error.what();
            EXPECT_EQ(message.find("bad.json: "), 0u) << message;
            EXPECT_NE(message.find(c.reason), std::string::npos) << message;
        }
    }
    EXPECT_THROW(readSettingsFile(::testing::TempDir() + "/no_such_settings.json"), formats::FormatError);
}

}  // namespace
}  // namespace kestrin::drive
