// The settings files of `kestrin --save-settings` / `--settings` and of the
// Python module's save_settings / load_settings: one instance's settings as
// JSON.
//
//   {"kestrin_tool_settings": 2,
//    "module": "Strainmark",
//    "channels": {"Exponent": 0.2, "Pre Multiplier": 0.5, ...},
//    "blocks": [{"name": "LagData",
//                "values": [{"key": "positive", "type": "int", "value": 0}, ...]}]}
//
// Every value is stored once: the block keys that carry a channel's value
// ("lag", "multiplier1", "multiplier2") are left out of "blocks" and filled
// from "channels" when the file is read. Object references are object
// names (null for none). Doubles JSON cannot hold are the strings "nan",
// "inf" and "-inf". Version 1 files (the block and the channels kept in a
// "saved" part, channels possibly repeated in the block) and bare saved
// contexts ({"kestrin_settings": 1, ...}) are read as well.
#ifndef KESTRIN_DRIVE_SETTINGS_FILE_H
#define KESTRIN_DRIVE_SETTINGS_FILE_H

#include <string>

#include "session.h"

namespace kestrin::drive {

// The JSON text of the settings, ending in a newline.
std::string settingsToText(const host::SavedSettings& settings);

// Reads settings from JSON text. Throws formats::FormatError "<source>: <reason>" when
// the text is not JSON, has not the shape above, or names a value of the
// wrong kind. The module may be "" (a bare saved context names none).
host::SavedSettings settingsFromText(const std::string& text, const std::string& source);

// The same from a file; throws formats::FormatError when it cannot be read.
host::SavedSettings readSettingsFile(const std::string& path);

}  // namespace kestrin::drive

#endif
