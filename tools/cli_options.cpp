#include "cli_options.h"

#include <cmath>
#include <cstdio>

namespace kestrin::tool {
namespace {

struct ChannelOption {
    const char* option;
    const char* channel;
    double defaultValue;
};

constexpr ChannelOption channelOptions[] = {
#define TENSION_CHANNEL(name, value, savedKey, option) {option, name, value},
#include "tension_channels.def"
};
static_assert(sizeof channelOptions / sizeof channelOptions[0] == tensionChannelCount);

// What each channel does to the weight, for the option's help. The weight
// is the base-2 log of the edge-length ratio, through a sine ramp that is
// flat at -1 and 1, then multiplied and raised to a power.
const char* channelHelp(const std::string& channel) {
    if (channel == "Exponent")
        return "shape of the curve: the weight is raised to the power 10 x this (0.2 squares it, so "
               "small stretches weigh little; 0.1 leaves it as the ramp gives it)";
    if (channel == "Pre Multiplier")
        return "how soon the weight saturates: the log2 length ratio is scaled by 2 x this (0.5 "
               "saturates at double or half length, 1 at 1.41x or 0.71x)";
    if (channel == "Post Multiplier")
        return "the weight after the ramp is scaled by 2 x this (0.5 leaves it; above that, "
               "weights pass 1 unless --clamp limits them)";
    if (channel == "Stretch Multi")
        return "positive (stretch) weights are scaled by 2 x this, before the exponent";
    if (channel == "Squash Multi")
        return "negative (squash) weights are scaled by 2 x this, before the exponent";
    return "";
}

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
    for (int i = 0; i < tensionChannelCount; ++i) {
        if (channelOptions[i] != nullptr && channelOptions[i]->count() > 0) {
            settings.channels.emplace_back(tool::channelOptions[i].channel, channelValues[i]);
        }
    }
    if (!clamp.empty()) settings.toggles.emplace_back(host::clampToggle, clamp == "on");
    if (onlyPositive) settings.toggles.emplace_back(host::onlyPositiveToggle, true);
    if (switchMode) settings.toggles.emplace_back(host::switchToggle, true);
    return settings;
}

void addPluginDirectoryOption(CLI::App& command, SettingsOptions& options) {
    options.pluginDirectory = host::Session::defaultPluginDirectory();
    command.add_option("--plugin-dir", options.pluginDirectory,
                       "Directory holding Strainmark.so, Rimshaper.so and the tangent-space "
                       "provider (default: the kestrin binary's own directory)")
        ->type_name("DIR");
}

void addSettingsOptions(CLI::App& command, SettingsOptions& options, bool toggles) {
    for (int i = 0; i < tensionChannelCount; ++i) {
        const ChannelOption& channel = channelOptions[i];
        options.channelValues[i] = channel.defaultValue;
        char help[320];
        std::snprintf(help, sizeof help, "%s channel: %s (default %g)", channel.channel,
                      channelHelp(channel.channel), channel.defaultValue);
        options.channelOptions[i] =
            command.add_option(std::string("--") + channel.option, options.channelValues[i], help)
                ->check(finiteNumber)
                ->type_name("NUMBER")
                ->group("Settings");
    }
    if (toggles) {
        command.add_option("--clamp", options.clamp,
                           "Clamp control: limit weights to -1..1 (default on; changes nothing while "
                           "the multipliers are at most 0.5 and the exponent is not negative)")
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
