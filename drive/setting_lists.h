// The settings a user gives the plug-ins, listed once for every driver: the
// five tension channels every plug-in has and the weight tools' check boxes,
// each with its labels, saved key, default, range, command-line option,
// Python keyword and help (framework/tension_channels.def and
// weight_toggles.def); Grainmark's axis and measures (axis_channels.def,
// grain_measures.def).
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

// Grainmark's axis channels (axis_channels.def), after the five.
struct AxisSetting {
    const char* name;  // the channel's name and its control's label ("Axis X")
    double defaultValue;
    const char* help;
};
constexpr AxisSetting axisSettings[] = {
#define AXIS_CHANNEL(field, name, value, help) {name, value, help},
#include "axis_channels.def"
};
constexpr size_t axisSettingCount = sizeof axisSettings / sizeof axisSettings[0];

// Grainmark's measures (grain_measures.def), one check box each, in order.
struct MeasureSetting {
    const char* label;      // its check box ("Along Axis")
    const char* direction;  // "along": --direction along, direction="along"
    const char* help;
};
constexpr MeasureSetting measureSettings[] = {
#define GRAIN_MEASURE(id, callback, label, direction, help) {label, direction, help},
#include "grain_measures.def"
};
constexpr size_t measureSettingCount = sizeof measureSettings / sizeof measureSettings[0];

// The measure of a --direction value; null when none has it.
const MeasureSetting* measureSetting(const std::string& direction);

// Whether name is one of the five tension channels every plug-in has.
bool isTensionChannel(const std::string& name);

// The Python keyword of an option: '-' becomes '_'.
std::string keywordOf(const char* option);

// The channel or check box of an option ("post-multiplier", "clamp"); the
// option must be one of the lists'.
const ChannelSetting& channelSetting(const std::string& option);
const ToggleSetting& toggleSetting(const std::string& option);

}  // namespace kestrin::drive

#endif
