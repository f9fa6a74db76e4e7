// The settings a user gives the plug-ins, listed once for every driver: the
// five tension channels both plug-ins have and Strainmark's check boxes, each
// with its labels, saved key, default, range, command-line option, Python
// keyword and help (framework/tension_channels.def and weight_toggles.def).
#ifndef KESTRIN_DRIVE_SETTING_LISTS_H
#define KESTRIN_DRIVE_SETTING_LISTS_H

#include <stddef.h>

#include <string>

namespace kestrin::drive {

struct ChannelSetting {
    const char* name;             // the channel's name ("Pre Multiplier")
    const char* weightToolLabel;  // its control in Strainmark's panel ("Pre Multi")
    const char* effectLabel;      // its control in Rimshaper's panel ("Pre Multiplier")
    const char* savedKey;         // its key in the saved block, or null
    double defaultValue;
    double low, high;     // the range the doors offer; values beyond it are taken too
    const char* option;  // "pre-multiplier": --pre-multiplier, keyword pre_multiplier
    const char* help;
};

struct ToggleSetting {
    const char* label;     // the check box's label ("Only Positive")
    const char* savedKey;  // its key in the saved block ("positive")
    bool defaultOn;
    const char* option;  // "only-positive": --only-positive, keyword only_positive
    const char* help;
};

constexpr ChannelSetting channelSettings[] = {
#define TENSION_CHANNEL(field, name, weightToolLabel, effectLabel, savedKey, value, low, high, option, help) \
    {name, weightToolLabel, effectLabel, savedKey, value, low, high, option, help},
#include "tension_channels.def"
};
constexpr size_t channelSettingCount = sizeof channelSettings / sizeof channelSettings[0];

constexpr ToggleSetting toggleSettings[] = {
#define WEIGHT_TOGGLE(field, callback, label, savedKey, savedPosition, value, option, help) \
    {label, savedKey, value != 0, option, help},
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
