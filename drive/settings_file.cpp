#include "settings_file.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

#include "files/file_bytes.h"
#include "files/format_error.h"
#include "setting_lists.h"

namespace kestrin::drive {
namespace {

using host::SavedSetting;
using host::SavedSettings;
using host::SavedSettingsBlock;
// Ordered, so that a file lists the channels in the plug-in's order.
using json = nlohmann::ordered_json;

constexpr int toolFileVersion = 2;

// The block key that carries a channel's value, or null.
const char* savedKeyOf(const std::string& channel) {
    for (const ChannelSetting& setting : channelSettings) {
        if (channel == setting.name) return setting.savedKey;
    }
    return nullptr;
}

const char* channelOfKey(const std::string& savedKey) {
    for (const ChannelSetting& setting : channelSettings) {
        if (setting.savedKey != nullptr && savedKey == setting.savedKey) return setting.name;
    }
    return nullptr;
}

json doubleToJson(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    return value;
}

bool doubleFromJson(const json& value, double* out) {
    if (value.is_number()) {
        *out = value.get<double>();
        return true;
    }
    if (!value.is_string()) return false;
    const std::string text = value.get<std::string>();
    if (text == "nan") *out = std::numeric_limits<double>::quiet_NaN();
    else if (text == "inf") *out = std::numeric_limits<double>::infinity();
    else if (text == "-inf") *out = -std::numeric_limits<double>::infinity();
    else return false;
    return true;
}

const char* typeName(SavedSetting::Type type) {
    switch (type) {
        case SavedSetting::Type::Int: return "int";
        case SavedSetting::Type::Double: return "double";
        case SavedSetting::Type::Object: return "object";
    }
    return "?";
}

// A reader's failure, "<source>: <reason>".
struct Reader {
    const std::string& source;
    [[noreturn]] void fail(const std::string& reason) const { throw formats::FormatError(source + ": " + reason); }
};

SavedSetting valueFromJson(const Reader& reader, const std::string& block, const json& entry) {
    const std::string in = "block \"" + block + "\": ";
    if (!entry.is_object()) reader.fail(in + "a value is not an object");
    auto key = entry.find("key");
    auto type = entry.find("type");
    auto value = entry.find("value");
    if (key == entry.end() || !key->is_string()) reader.fail(in + "a value has no key");
    SavedSetting out;
    out.key = key->get<std::string>();
    const std::string where = in + "value \"" + out.key + "\"";
    if (type == entry.end() || !type->is_string() || value == entry.end()) {
        reader.fail(where + " has no type or value");
    }
    const std::string typeText = type->get<std::string>();
    if (typeText == "int") {
        const bool fits = value->is_number_unsigned()
                              ? value->get<uint64_t>() <= INT32_MAX
                              : value->is_number_integer() && value->get<int64_t>() >= INT32_MIN &&
                                    value->get<int64_t>() <= INT32_MAX;
        if (!fits) reader.fail(where + " is not a 32-bit integer");
        out.type = SavedSetting::Type::Int;
        out.intValue = static_cast<int32_t>(value->get<int64_t>());
    } else if (typeText == "double") {
        out.type = SavedSetting::Type::Double;
        if (!doubleFromJson(*value, &out.doubleValue)) reader.fail(where + " is not a number");
    } else if (typeText == "object") {
        if (!value->is_null() && !value->is_string()) reader.fail(where + " is not an object name");
        out.type = SavedSetting::Type::Object;
        out.objectName = value->is_null() ? "" : value->get<std::string>();
    } else {
        reader.fail(where + " has unknown type \"" + typeText + "\"");
    }
    return out;
}

std::vector<SavedSettingsBlock> blocksFromJson(const Reader& reader, const json& document) {
    auto blocks = document.find("blocks");
    if (blocks == document.end() || !blocks->is_array()) reader.fail("no \"blocks\" list");
    std::vector<SavedSettingsBlock> out;
    for (const json& block : *blocks) {
        if (!block.is_object()) reader.fail("a block is not an object");
        auto name = block.find("name");
        auto values = block.find("values");
        if (name == block.end() || !name->is_string()) reader.fail("a block has no name");
        SavedSettingsBlock& into = out.emplace_back();
        into.name = name->get<std::string>();
        if (values == block.end() || !values->is_array()) {
            reader.fail("block \"" + into.name + "\" has no \"values\" list");
        }
        for (const json& entry : *values) into.values.push_back(valueFromJson(reader, into.name, entry));
    }
    return out;
}

void setChannel(SavedSettings& settings, const std::string& name, double value) {
    for (auto& [channel, stored] : settings.channels) {
        if (channel == name) {
            stored = value;
            return;
        }
    }
    settings.channels.emplace_back(name, value);
}

// A bare saved context: its blocks, and its channels as a list of
// {name, value}.
void readContext(const Reader& reader, const json& context, SavedSettings& settings) {
    if (!context.is_object()) reader.fail("not a settings document (expected a JSON object)");
    auto version = context.find("kestrin_settings");
    if (version == context.end() || !version->is_number_integer()) {
        reader.fail("not a settings document (no \"kestrin_settings\" version)");
    }
    if (version->get<int64_t>() != 1) reader.fail("settings version " + version->dump() + " is not supported");
    settings.blocks = blocksFromJson(reader, context);
    auto channels = context.find("channels");
    if (channels == context.end()) return;
    if (!channels->is_array()) reader.fail("\"channels\" is not a list");
    for (const json& channel : *channels) {
        double value = 0.0;
        if (!channel.is_object() || !channel.contains("name") || !channel["name"].is_string() ||
            !channel.contains("value") || !doubleFromJson(channel["value"], &value)) {
            reader.fail("a channel is not {name, value}");
        }
        setChannel(settings, channel["name"].get<std::string>(), value);
    }
}

void readChannelObject(const Reader& reader, const json& channels, SavedSettings& settings) {
    if (!channels.is_object()) reader.fail("\"channels\" is not an object of channel values");
    for (const auto& [name, value] : channels.items()) {
        double number = 0.0;
        if (!doubleFromJson(value, &number)) reader.fail("channel \"" + name + "\" is not a number");
        setChannel(settings, name, number);
    }
}

// Older files may carry a channel only in its block key: the key's value
// then stands for the channel.
void channelsFromBlockKeys(SavedSettings& settings) {
    for (const SavedSettingsBlock& block : settings.blocks) {
        for (const SavedSetting& value : block.values) {
            const char* channel = channelOfKey(value.key);
            if (channel == nullptr || value.type != SavedSetting::Type::Double) continue;
            bool known = false;
            for (const auto& [name, stored] : settings.channels) known = known || name == channel;
            if (!known) settings.channels.emplace_back(channel, value.doubleValue);
        }
    }
}

// The block keys left out of the file, back in their block from the
// channels they carry.
void blockKeysFromChannels(SavedSettings& settings) {
    for (SavedSettingsBlock& block : settings.blocks) {
        for (const auto& [channel, value] : settings.channels) {
            const char* key = savedKeyOf(channel);
            if (key == nullptr) continue;
            bool present = false;
            for (const SavedSetting& setting : block.values) present = present || setting.key == key;
            if (present) continue;
            SavedSetting& setting = block.values.emplace_back();
            setting.key = key;
            setting.type = SavedSetting::Type::Double;
            setting.doubleValue = value;
        }
    }
}

}  // namespace

std::string settingsToText(const SavedSettings& settings) {
    json channels = json::object();
    for (const auto& [name, value] : settings.channels) channels[name] = doubleToJson(value);
    json blocks = json::array();
    for (const SavedSettingsBlock& block : settings.blocks) {
        json values = json::array();
        for (const SavedSetting& value : block.values) {
            // Carried by its channel, stored there.
            if (const char* channel = channelOfKey(value.key)) {
                if (channels.contains(channel) && value.type == SavedSetting::Type::Double) continue;
            }
            json entry{{"key", value.key}, {"type", typeName(value.type)}};
            switch (value.type) {
                case SavedSetting::Type::Int: entry["value"] = value.intValue; break;
                case SavedSetting::Type::Double: entry["value"] = doubleToJson(value.doubleValue); break;
                case SavedSetting::Type::Object:
                    entry["value"] = value.objectName.empty() ? json(nullptr) : json(value.objectName);
                    break;
            }
            values.push_back(std::move(entry));
        }
        blocks.push_back({{"name", block.name}, {"values", std::move(values)}});
    }
    const json document = {
        {"kestrin_tool_settings", toolFileVersion},
        {"module", settings.module},
        {"channels", std::move(channels)},
        {"blocks", std::move(blocks)},
    };
    return document.dump(2) + "\n";
}

SavedSettings settingsFromText(const std::string& text, const std::string& source) {
    const Reader reader{source};
    json document;
    try {
        document = json::parse(text);
    } catch (const json::exception& error) {
        // Syntax errors, and numbers out of a double's range (1e400).
        reader.fail(std::string("not a JSON settings file: ") + error.what());
    }
    SavedSettings settings;
    const auto version = document.is_object() ? document.find("kestrin_tool_settings") : document.end();
    if (!document.is_object() || version == document.end()) {
        readContext(reader, document, settings);
        channelsFromBlockKeys(settings);
        blockKeysFromChannels(settings);
        return settings;
    }
    if (!version->is_number_integer() || version->get<int64_t>() < 1 ||
        version->get<int64_t>() > toolFileVersion) {
        reader.fail("settings file version " + version->dump() + " is not supported");
    }
    const auto named = document.find("module");
    if (named == document.end() || !named->is_string()) reader.fail("no \"module\" name in the settings file");
    settings.module = named->get<std::string>();
    if (version->get<int64_t>() == 1) {
        if (!document.contains("saved")) reader.fail("no \"saved\" settings");
        readContext(reader, document["saved"], settings);
    } else {
        settings.blocks = blocksFromJson(reader, document);
    }
    // The channel values beside the blocks win over what a block repeats.
    if (auto channels = document.find("channels"); channels != document.end()) {
        readChannelObject(reader, *channels, settings);
    }
    channelsFromBlockKeys(settings);
    blockKeysFromChannels(settings);
    return settings;
}

SavedSettings readSettingsFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw formats::FormatError(path + ": cannot open settings file: " + std::strerror(errno));
    std::stringstream text;
    text << file.rdbuf();
    return settingsFromText(std::string(formats::withoutByteOrderMark(text.str())), path);
}

}  // namespace kestrin::drive
