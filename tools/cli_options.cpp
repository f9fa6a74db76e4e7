#include "cli_options.h"

#include <cmath>
#include <cstdio>

#include "plugin_folder.h"
#include "tool_error.h"

namespace kestrin::tool {
namespace {

const CLI::Validator finiteNumber(
    [](std::string& text) {
        double value = 0.0;
        if (!CLI::detail::lexical_cast(text, value) || !std::isfinite(value)) {
            return "'" + text + "' is not a finite number";
        }
        return std::string();
    },
    "");

}  // namespace

drive::PluginSettings SettingsOptions::pluginSettings() const {
    drive::PluginSettings settings;
    settings.loadFrom = loadFrom;
    for (size_t i = 0; i < drive::channelSettingCount; ++i) {
        if (channelOptions[i] != nullptr && channelOptions[i]->count() > 0) {
            settings.channels.emplace_back(drive::channelSettings[i].name, channelValues[i]);
        }
    }
    for (size_t i = 0; i < drive::toggleSettingCount; ++i) {
        const char* label = drive::toggleSettings[i].label;
        if (!toggleValues[i].empty()) settings.toggles.emplace_back(label, toggleValues[i] == "on");
        if (toggleFlags[i]) settings.toggles.emplace_back(label, true);
    }
    return settings;
}

void addRestAndPoseOptions(CLI::App& command, ShotOptions& options) {
    command.add_option("--rest", options.rest, "Rest mesh (OBJ)")->required()->type_name("REST");
    command.add_option("--pose", options.poses,
                       "Posed meshes: OBJ files with the rest mesh's points (and its faces, or "
                       "none), or one point cache (.mdd, .pc2) holding every pose")
        ->required()
        ->type_name("POSE");
}

void addOutputOptions(CLI::App& command, ShotOptions& options, const std::string& help) {
    addFramesOption(command, options.frames);
    command.add_option("-o,--output", options.outputs, help)->required()->type_name("OUT");
}

void addRunOptions(CLI::App& command, ShotOptions& options, bool toggles) {
    command.add_option("--jobs", options.jobs, "Threads reading and writing (default: the number of cores)")
        ->check(CLI::Range(1u, 256u))
        ->type_name("N");
    addSettingsOptions(command, options.settings, toggles);
    addPlyFormatOption(command, options.settings);
    addPluginDirectoryOption(command, options.settings);
}

void printLoadNote(const drive::Attached& plugin) {
    if (!plugin.loadNote().empty()) std::fprintf(stderr, "kestrin: note: %s\n", plugin.loadNote().c_str());
}

void addPluginDirectoryOption(CLI::App& command, SettingsOptions& options) {
    options.pluginDirectory = pluginFolder();
    command.add_option("--plugin-dir", options.pluginDirectory,
                       "Directory holding Strainmark.so, Rimshaper.so and the tangent-space "
                       "provider (default: ../lib/kestrin from the kestrin binary when it exists, else the "
                       "binary's own directory)")
        ->type_name("DIR");
}

void addSettingsOptions(CLI::App& command, SettingsOptions& options, bool toggles) {
    for (size_t i = 0; i < drive::channelSettingCount; ++i) {
        const drive::ChannelSetting& channel = drive::channelSettings[i];
        options.channelValues[i] = channel.defaultValue;
        char help[320];
        std::snprintf(help, sizeof help, "%s channel: %s (default %g, usually %g to %g)", channel.name,
                      channel.help, channel.defaultValue, channel.low, channel.high);
        options.channelOptions[i] =
            command.add_option(std::string("--") + channel.option, options.channelValues[i], help)
                ->check(finiteNumber)
                ->type_name("NUMBER")
                ->group("Settings");
    }
    for (size_t i = 0; toggles && i < drive::toggleSettingCount; ++i) {
        const drive::ToggleSetting& toggle = drive::toggleSettings[i];
        const std::string name = std::string("--") + toggle.option;
        if (toggle.defaultOn) {
            command.add_option(name, options.toggleValues[i],
                               std::string(toggle.label) + " control: " + toggle.help + " (default on)")
                ->check(CLI::IsMember({"on", "off"}).description(""))
                ->type_name("on|off")
                ->group("Settings");
        } else {
            command.add_flag(name, options.toggleFlags[i], std::string(toggle.label) + " control: " + toggle.help)
                ->group("Settings");
        }
    }
    command.add_option("--settings", options.loadFrom,
                       "Load a settings file (saved with --save-settings) before the options above")
        ->type_name("FILE.json")
        ->group("Settings");
    command.add_option("--save-settings", options.saveTo,
                       "Save the plug-in's settings, after the options above, to a file")
        ->type_name("FILE.json")
        ->group("Settings");
}

void addFramesOption(CLI::App& command, FrameRange& range) {
    command
        .add_option_function<std::string>(
            "--frames",
            [&range](const std::string& text) {
                try {
                    range = parseFrameRange(text);
                } catch (const ToolError& error) {
                    throw CLI::ValidationError(error.what());
                }
            },
            "Only the poses of these frames (1-100, 101-, 7): a cache's frames count from 1, OBJ files "
            "named with numbers go by those; numbered outputs keep each pose's frame number")
        ->type_name("A-B");
}

void addPlyFormatOption(CLI::App& command, SettingsOptions& options) {
    command.add_option("--ply-format", options.plyFormat, "Encoding of .ply outputs (default binary)")
        ->check(CLI::IsMember({"ascii", "binary"}).description(""))
        ->type_name("ascii|binary");
}

}  // namespace kestrin::tool
