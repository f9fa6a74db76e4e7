#include "cli_options.h"

#include <cmath>

namespace kestrin::tool {
namespace {

struct ChannelOption {
    const char* flag;
    const char* channel;
    const char* help;
};

constexpr ChannelOption channelOptions[5] = {
    {"--exponent", "Exponent", "Exponent channel: the shaped tension is raised to 10 x this (default 0.2, squares it)"},
    {"--pre-multiplier", "Pre Multiplier", "Pre Multiplier channel: scales the log ratio, doubled (default 0.5, neutral)"},
    {"--post-multiplier", "Post Multiplier", "Post Multiplier channel: scales the shaped tension, doubled (default 0.5)"},
    {"--stretch-multiplier", "Stretch Multi", "Stretch Multi channel: scales stretched values, doubled (default 0.5)"},
    {"--squash-multiplier", "Squash Multi", "Squash Multi channel: scales squashed values, doubled (default 0.5)"},
};

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

PluginSettings SettingsOptions::pluginSettings() const {
    PluginSettings settings;
    settings.loadFrom = loadFrom;
    settings.saveTo = saveTo;
    for (int i = 0; i < 5; ++i) {
        if (channelOptions[i] != nullptr && channelOptions[i]->count() > 0) {
            settings.channels.emplace_back(tool::channelOptions[i].channel, channelValues[i]);
        }
    }
    if (!clamp.empty()) settings.toggles.emplace_back("Clamp", clamp == "on");
    if (onlyPositive) settings.toggles.emplace_back("Only Positive", true);
    if (switchMode) settings.toggles.emplace_back("Squash/Stretch switch", true);
    return settings;
}

void addPluginDirectoryOption(CLI::App& command, SettingsOptions& options) {
    options.pluginDirectory = executableDirectory();
    command.add_option("--plugin-dir", options.pluginDirectory,
                       "Directory holding Strainmark.so, Rimshaper.so and the tangent-space "
                       "provider (default: the kestrin binary's own directory)")
        ->type_name("DIR");
}

void addSettingsOptions(CLI::App& command, SettingsOptions& options, bool toggles) {
    for (int i = 0; i < 5; ++i) {
        options.channelOptions[i] =
            command.add_option(channelOptions[i].flag, options.channelValues[i], channelOptions[i].help)
                ->check(finiteNumber)
                ->type_name("NUMBER")
                ->group("Settings");
    }
    if (toggles) {
        command.add_option("--clamp", options.clamp, "Clamp control: limit weights to -1..1 (default on)")
            ->check(CLI::IsMember({"on", "off"}).description(""))
            ->type_name("on|off")
            ->group("Settings");
        command.add_flag("--only-positive", options.onlyPositive,
                         "Only Positive control: limit weights to 0..1")
            ->group("Settings");
        command.add_flag("--switch", options.switchMode,
                         "Squash/Stretch switch control: invert the sign of the weights")
            ->group("Settings");
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

void addPlyFormatOption(CLI::App& command, SettingsOptions& options) {
    command.add_option("--ply-format", options.plyFormat, "Encoding of .ply outputs (default binary)")
        ->check(CLI::IsMember({"ascii", "binary"}).description(""))
        ->type_name("ascii|binary");
}

}  // namespace kestrin::tool
