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

}  // namespace
}  // namespace kestrin::host
