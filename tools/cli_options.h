// Options that several commands share: the plug-in directory, the plug-in
// settings and the PLY encoding.
#ifndef KESTRIN_TOOL_CLI_OPTIONS_H
#define KESTRIN_TOOL_CLI_OPTIONS_H

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "plugin_runs.h"

namespace kestrin::tool {

constexpr int tensionChannelCount = 0
#define TENSION_CHANNEL(name, value, savedKey, option) +1
#include "tension_channels.def"
    ;

struct SettingsOptions {
    std::string pluginDirectory;
    std::string loadFrom;
    std::string saveTo;
    double channelValues[tensionChannelCount] = {};
    CLI::Option* channelOptions[tensionChannelCount] = {};
    std::string clamp;  // "on", "off" or "" when not given
    bool onlyPositive = false;
    bool switchMode = false;
    std::string plyFormat = "binary";

    // The settings to apply: a channel only when its option was given.
    PluginSettings pluginSettings() const;
};

// --plugin-dir, defaulting to the directory of the kestrin binary.
void addPluginDirectoryOption(CLI::App& command, SettingsOptions& options);
// The five channel options, --settings and --save-settings; with toggles
// also --clamp, --only-positive and --switch (Strainmark's panel only).
void addSettingsOptions(CLI::App& command, SettingsOptions& options, bool toggles);
// --ply-format ascii|binary.
void addPlyFormatOption(CLI::App& command, SettingsOptions& options);

}  // namespace kestrin::tool

#endif
