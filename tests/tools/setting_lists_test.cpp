// Every door shows each channel and check box as the lists declare them
// (framework/tension_channels.def, weight_toggles.def, through
// drive/setting_lists.h): the channels and panels both plug-ins make in the
// simulator, the saved block and the settings file, and the tool's help.
// A label, key, default, range or help typed again anywhere and changed in
// one place only fails here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "host.h"
#include "messages.h"
#include "mesh/obj_reader.h"
#include "plugin_instances.h"
#include "plugins.h"
#include "setting_lists.h"
#include "tool_runner.h"

namespace kestrin::tool {
namespace {

using drive::channelSettings;
using drive::ChannelSetting;
using drive::toggleSettings;
using drive::ToggleSetting;

// The module's controls of one kind, in the order its last panel made them.
std::vector<const host::Control*> controlsOf(const host::Host& host, int module, host::ControlKind kind) {
    std::vector<const host::Control*> found;
    for (const host::Control* control : host.controls.inBlock(host.controls.lastBlock(module))) {
        if (control->kind == kind) found.push_back(control);
    }
    return found;
}

// Runs of white space as one space: the help may wrap its lines.
std::string flattened(const std::string& text) {
    std::string out;
    for (char c : text) {
        const bool space = c == ' ' || c == '\n' || c == '\t';
        if (!space) out += c;
        else if (!out.empty() && out.back() != ' ') out += ' ';
    }
    return out;
}

TEST(SettingLists, BothPluginsMakeTheListsChannelsAndPanels) {
    struct Panel {
        std::string path;
        const char* ChannelSetting::*label;
    };
    for (const Panel& panel : {Panel{test::strainmarkPath, &ChannelSetting::weightToolLabel},
                               Panel{test::rimshaperPath, &ChannelSetting::effectLabel}}) {
        SCOPED_TRACE(panel.path);
        host::Host host;
        const int module = test::loadPlugin(host, panel.path);
        ASSERT_GE(module, 0);
        const HostHandle item = host.scene.addObject("mesh", host::Mesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}));
        host.send(module, item, MSG_OBJECT, OBJ_CREATE);
        host.send(module, 0, MSG_INTERFACE, INTERFACE_BUILD);
        const auto channels = controlsOf(host, module, host::ControlKind::ChannelFloat);
        ASSERT_EQ(channels.size(), std::size(channelSettings));
        for (size_t i = 0; i < channels.size(); ++i) {
            const ChannelSetting& listed = channelSettings[i];
            const host::Channel* channel = host.channels.find(module, item, static_cast<int32_t>(i));
            ASSERT_NE(channel, nullptr) << listed.name;
            EXPECT_EQ(channel->name, listed.name);
            EXPECT_EQ(channel->initial, listed.defaultValue) << listed.name;
            EXPECT_EQ(channels[i]->label, listed.*panel.label);
            EXPECT_EQ(channels[i]->channel, static_cast<int32_t>(i)) << listed.name;
        }
        host.send(module, item, MSG_OBJECT, OBJ_DESTROY);
        const auto boxes = controlsOf(host, module, host::ControlKind::Bool);
        if (panel.path == test::rimshaperPath) {
            EXPECT_TRUE(boxes.empty());
            continue;
        }
        ASSERT_EQ(boxes.size(), std::size(toggleSettings));
        for (size_t i = 0; i < boxes.size(); ++i) EXPECT_EQ(boxes[i]->label, toggleSettings[i].label);
    }
}

// The saved block and the settings file of a new Strainmark: each check box
// under its key with its default, each channel under its name with its
// default, and the block keys that carry channels.
TEST(SettingLists, SavedSettingsHoldTheListsKeysAndDefaults) {
    const std::string tool = KESTRIN_TOOL_PATH;
    host::Session session(tool.substr(0, tool.rfind('/')));
    const formats::ObjMesh box = formats::readObj(KESTRIN_TEST_DATA "/box.obj");
    drive::Strainmark strainmark(session, box.points, box.polygons, {});
    const nlohmann::json file = nlohmann::json::parse(strainmark.settingsText());
    for (const ChannelSetting& channel : channelSettings) {
        EXPECT_EQ(file["channels"][channel.name], channel.defaultValue) << channel.name;
    }
    const nlohmann::json& values = file["blocks"][0]["values"];
    for (const ToggleSetting& toggle : toggleSettings) {
        const auto found = std::find_if(values.begin(), values.end(),
                                        [&](const nlohmann::json& v) { return v["key"] == toggle.savedKey; });
        ASSERT_NE(found, values.end()) << toggle.savedKey;
        EXPECT_EQ((*found)["value"], toggle.defaultOn ? 1 : 0) << toggle.savedKey;
    }
    std::vector<std::string> channelKeys, savedChannelKeys;
    for (const ChannelSetting& channel : channelSettings) {
        if (channel.savedKey != nullptr) channelKeys.push_back(channel.savedKey);
    }
    // Kept: a loop over a member of the temporary would outlive it.
    const host::SavedSettings saved = session.save(strainmark.instance());
    for (const host::SavedSetting& value : saved.blocks.at(0).values) {
        if (value.type == host::SavedSetting::Type::Double) savedChannelKeys.push_back(value.key);
    }
    EXPECT_EQ(savedChannelKeys, channelKeys);
}

TEST(SettingLists, TheToolsHelpShowsEachOptionsDefaultRangeAndHelp) {
    const test::ToolRun weights = test::runTool({"weights", "--help"});
    ASSERT_EQ(weights.exitCode, 0) << weights.err;
    const std::string help = flattened(weights.out);
    for (const ChannelSetting& channel : channelSettings) {
        char shown[64];
        std::snprintf(shown, sizeof shown, "(default %g, usually %g to %g)", channel.defaultValue, channel.low,
                      channel.high);
        const std::string expected =
            flattened(std::string(channel.name) + " channel: " + channel.help + " " + shown);
        EXPECT_NE(help.find(std::string("--") + channel.option), std::string::npos) << channel.option;
        EXPECT_NE(help.find(expected), std::string::npos) << expected << "\nin\n" << weights.out;
    }
    for (const ToggleSetting& toggle : toggleSettings) {
        const std::string expected = flattened(std::string(toggle.label) + " control: " + toggle.help +
                                               (toggle.defaultOn ? " (default on)" : ""));
        EXPECT_NE(help.find(std::string("--") + toggle.option), std::string::npos) << toggle.option;
        EXPECT_NE(help.find(expected), std::string::npos) << expected << "\nin\n" << weights.out;
    }
}

}  // namespace
}  // namespace kestrin::tool
