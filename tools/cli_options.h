// Options that several commands share: the shot's inputs and threads, the
// plug-in directory, the plug-in settings and the PLY encoding.
#ifndef KESTRIN_TOOL_CLI_OPTIONS_H
#define KESTRIN_TOOL_CLI_OPTIONS_H

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "plugin_instances.h"
#include "pose_source.h"
#include "setting_lists.h"

namespace kestrin::tool {

struct SettingsOptions {
    std::string pluginDirectory;
    std::string loadFrom;
    std::string saveTo;
    double channelValues[drive::channelSettingCount] = {};
    CLI::Option* channelOptions[drive::channelSettingCount] = {};
    // Per check box: "on", "off" or "" when not given (a box ticked by
    // default), or whether its flag was given (the others).
    std::string toggleValues[drive::toggleSettingCount];
    bool toggleFlags[drive::toggleSettingCount] = {};
    std::string plyFormat = "binary";

    // The settings to apply: a channel only when its option was given.
    drive::PluginSettings pluginSettings() const;
};

// What both shot commands (weights, morph) read: the rest mesh, the poses,
// the frames, the outputs, the threads and the plug-in's settings.
struct ShotOptions {
    std::string rest;
    std::vector<std::string> poses;
    FrameRange frames;
    std::vector<std::string> outputs;
    unsigned jobs = 0;
    SettingsOptions settings;
};

// --rest and --pose.
void addRestAndPoseOptions(CLI::App& command, ShotOptions& options);
// --frames, then -o/--output, required, with `help` saying what each
// extension writes for this command.
void addOutputOptions(CLI::App& command, ShotOptions& options, const std::string& help);
// --jobs, then the settings (with Strainmark's check boxes when `toggles`),
// --ply-format and --plugin-dir: the options every shot command ends with.
void addRunOptions(CLI::App& command, ShotOptions& options, bool toggles);

// Tells the user on standard error what the settings file given with
// --settings left out ("kestrin: note: ..."), if anything.
void printLoadNote(const drive::Attached& plugin);

// --plugin-dir, defaulting to pluginFolder().
void addPluginDirectoryOption(CLI::App& command, SettingsOptions& options);
// The five channel options, --settings and --save-settings; with toggles
// also one per check box of Strainmark's panel: --clamp on|off,
// --only-positive, --switch.
void addSettingsOptions(CLI::App& command, SettingsOptions& options, bool toggles);
// --ply-format ascii|binary.
void addPlyFormatOption(CLI::App& command, SettingsOptions& options);
// --frames A-B into `range`, read as it is given: an empty or reversed range
// is a bad command line (a farm's template with an empty variable never runs
// the whole shot).
void addFramesOption(CLI::App& command, FrameRange& range);

}  // namespace kestrin::tool

#endif
