// The settings a user gives the plug-ins, listed once for every driver: the
// five tension channels both plug-ins have and Strainmark's check boxes, each
// with its default, its command-line option, its Python keyword and its
// help (from framework/tension_channels.def and weight_toggles.def).
#ifndef KESTRIN_DRIVE_SETTING_LISTS_H
#define KESTRIN_DRIVE_SETTING_LISTS_H

#include <stddef.h>

#include <string>

namespace kestrin::drive {

struct ChannelSetting {
    const char* name;  // the channel's name ("Pre Multiplier")
    double defaultValue;
    const char* option;  // "pre-multiplier": --pre-multiplier, keyword pre_multiplier
    const char* help;
};

struct ToggleSetting {
    const char* label;  // the check box's label ("Only Positive")
    bool defaultOn;
    const char* option;  // "only-positive": --only-positive, keyword only_positive
    const char* help;
};

constexpr ChannelSetting channelSettings[] = {
#define TENSION_CHANNEL(name, value, savedKey, option, help) {name, value, option, help},
#include "tension_channels.def"
};
constexpr size_t channelSettingCount = sizeof channelSettings / sizeof channelSettings[0];

constexpr ToggleSetting toggleSettings[] = {
#define WEIGHT_TOGGLE(label, value, option, help) {label, value != 0, option, help},
#include "weight_toggles.def"
};
constexpr size_t toggleSettingCount = sizeof toggleSettings / sizeof toggleSettings[0];

// The Python keyword of an option: '-' becomes '_'.
std::string keywordOf(const char* option);

// The channel or check box of an option ("post-multiplier", "clamp"); the
// option must be one of the lists'.
const ChannelSetting& channelSetting(const std::string& option);
const ToggleSetting& toggleSetting(const std::string& option);

}  // namespace kestrin::drive

#endif
