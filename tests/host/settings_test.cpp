// Saved settings: typed values under keys, loads that leave the target alone
// when nothing fits, and files that come back whole or not at all.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "host.h"
#include "served.h"

namespace kestrin::host {
namespace {

class SettingsTest : public ::testing::Test {
protected:
    Host host;
    HostHandle sphere = 0;

    void SetUp() override {
        sphere = host.scene.addObject("Sphere", Mesh());
        host.scene.addObject("Cube", Mesh());
    }
    std::string path(const std::string& name) {
        return (std::filesystem::path(::testing::TempDir()) / name).string();
    }
    void writeText(const std::string& file, const std::string& text) {
        std::ofstream(file) << text;
    }
};

TEST_F(SettingsTest, SavedValuesLoadBackUnderTheirKeysAndTypes) {
    SettingsContext context;
    FormatBlock block = served::fxFormatNew(&context, "LagData", 0);
    served::fxArgSaveInt(block, "flag", 1, 0);
    served::fxArgSaveDouble(block, "amount", 0.25, 0);
    served::fxArgSaveObj(block, "target", sphere, 0);
    served::fxArgSaveInt(block, "flag", 3, 0);  // saved again: the later value, first place

    FormatBlock found = served::fxFormatGet(&context, "LagData");
    ASSERT_EQ(found, block);
    int32_t flag = 0;
    double amount = 0.0;
    HostHandle target = 0;
    served::fxArgLoadInt(found, "flag", &flag);
    served::fxArgLoadDouble(found, "amount", &amount);
    served::fxArgLoadObj(found, "target", &target);
    EXPECT_EQ(flag, 3);
    EXPECT_EQ(amount, 0.25);
    EXPECT_EQ(target, sphere);
    EXPECT_EQ(context.block("LagData")->values.size(), 3u);
    EXPECT_EQ(context.block("LagData")->values[0].key, "flag");
}

TEST_F(SettingsTest, LoadsLeaveTheTargetUntouchedWhenNothingFits) {
    SettingsContext context;
    FormatBlock block = served::fxFormatNew(&context, "LagData", 0);
    served::fxArgSaveDouble(block, "amount", 0.25, 0);
    int32_t flag = 17;
    double amount = 1.5;
    HostHandle target = 8;
    served::fxArgLoadInt(block, "missing", &flag);
    served::fxArgLoadInt(block, "amount", &flag);  // a double is no integer
    served::fxArgLoadObj(block, "amount", &target);
    served::fxArgLoadDouble(nullptr, "amount", &amount);
    served::fxArgLoadDouble(served::fxFormatGet(&context, "Other"), "amount", &amount);
    int notABlock = 0;
    served::fxArgLoadDouble(&notABlock, "amount", &amount);
    EXPECT_EQ(flag, 17);
    EXPECT_EQ(amount, 1.5);
    EXPECT_EQ(target, 8u);
    EXPECT_EQ(served::fxFormatNew(&notABlock, "LagData", 0), nullptr);
    served::fxArgSaveInt(&notABlock, "flag", 1, 0);  // ignored, nothing written through it
    EXPECT_EQ(notABlock, 0);
}

TEST_F(SettingsTest, AFileRoundTripKeepsBlocksTypesChannelsAndObjectsByName) {
    SettingsContext saved;
    SavedBlock* block = saved.newBlock("LagData");
    block->values.push_back({"flag", SavedType::Int, -3, 0.0, 0});
    block->values.push_back({"amount", SavedType::Double, 0, 0.1, 0});
    block->values.push_back({"huge", SavedType::Double, 0, -INFINITY, 0});
    block->values.push_back({"target", SavedType::Object, 0, 0.0, sphere});
    block->values.push_back({"none", SavedType::Object, 0, 0.0, 0});
    saved.newBlock("Other");
    saved.channels = {{"Exponent", 0.35}};
    const std::string file = path("settings_round_trip.json");
    std::string error;
    ASSERT_TRUE(saved.writeFile(file, host.scene, &error)) << error;
    EXPECT_FALSE(std::filesystem::exists(file + ".tmp"));

    // In the next session the objects have other handles: names find them.
    Host next;
    next.scene.addObject("Cube", Mesh());
    const HostHandle nextSphere = next.scene.addObject("Sphere", Mesh());
    SettingsContext read;
    ASSERT_TRUE(read.readFile(file, next.scene, &error)) << error;
    ASSERT_EQ(read.blocks().size(), 2u);
    const SavedBlock& back = read.blocks()[0];
    ASSERT_EQ(back.values.size(), 5u);
    EXPECT_EQ(back.find("flag")->intValue, -3);
    EXPECT_EQ(back.find("amount")->doubleValue, 0.1);
    EXPECT_EQ(back.find("huge")->doubleValue, -INFINITY);
    EXPECT_EQ(back.find("target")->objectValue, nextSphere);
    EXPECT_EQ(back.find("none")->objectValue, 0u);
    EXPECT_EQ(read.channels, saved.channels);
    std::filesystem::remove(file);
}

TEST_F(SettingsTest, MalformedFilesAreRefusedWholeWithTheirNameAndReason) {
    struct Case {
        const char* text;
        const char* reason;
    };
    const Case cases[] = {
        {"{\"kestrin_settings\": 1, \"blocks\": [", "not valid JSON"},
        {"[1, 2]", "not a settings document"},
        {"{\"blocks\": []}", "no \"kestrin_settings\" version"},
        {"{\"kestrin_settings\": 2, \"blocks\": []}", "version 2 is not supported"},
        {"{\"kestrin_settings\": 1}", "no \"blocks\" list"},
        {"{\"kestrin_settings\": 1, \"blocks\": [{\"name\": \"A\", \"values\": "
         "[{\"key\": \"k\", \"type\": \"int\", \"value\": 1.5}]}]}",
         "block \"A\": value \"k\" is not a 32-bit integer"},
        {"{\"kestrin_settings\": 1, \"blocks\": [{\"name\": \"A\", \"values\": "
         "[{\"key\": \"k\", \"type\": \"int\", \"value\": 4294967296}]}]}",
         "is not a 32-bit integer"},
        {"{\"kestrin_settings\": 1, \"blocks\": [{\"name\": \"A\", \"values\": "
         "[{\"key\": \"k\", \"type\": \"text\", \"value\": 1}]}]}",
         "unknown type \"text\""},
        {"{\"kestrin_settings\": 1, \"blocks\": [], \"channels\": [{\"name\": 1}]}",
         "a channel is not {name, value}"},
    };
    const std::string file = path("settings_bad.json");
    for (const Case& c : cases) {
        writeText(file, c.text);
        SettingsContext context;
        context.newBlock("Kept");
        std::string error;
        EXPECT_FALSE(context.readFile(file, host.scene, &error)) << c.text;
        EXPECT_NE(error.find(file + ": "), std::string::npos) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        ASSERT_EQ(context.blocks().size(), 1u) << "half-read: " << c.text;
        EXPECT_EQ(context.blocks()[0].name, "Kept");
    }
    std::filesystem::remove(file);

    SettingsContext context;
    std::string error;
    EXPECT_FALSE(context.readFile(path("no_such_settings.json"), host.scene, &error));
    EXPECT_NE(error.find("cannot be read"), std::string::npos) << error;
    EXPECT_FALSE(context.writeFile(path("no_such_dir/x.json"), host.scene, &error));
    EXPECT_NE(error.find("no_such_dir/x.json: "), std::string::npos) << error;
}

}  // namespace
}  // namespace kestrin::host
