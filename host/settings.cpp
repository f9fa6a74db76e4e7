#include "settings.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "atomic_write.h"
#include "scene.h"

namespace kestrin::host {
namespace {

constexpr int FORMAT_VERSION = 1;

std::set<SettingsContext*>& liveContexts() {
    static std::set<SettingsContext*> contexts;
    return contexts;
}

const char* typeName(SavedType type) {
    switch (type) {
        case SavedType::Int: return "int";
        case SavedType::Double: return "double";
        case SavedType::Object: return "object";
    }
    return "?";
}

// JSON has no infinities or NaN: those doubles are kept as the strings "inf",
// "-inf" and "nan", so that whatever a plug-in saved reads back.
nlohmann::json doubleToJson(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    return value;
}

bool doubleFromJson(const nlohmann::json& value, double* out) {
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

// Reads one value; false with the reason when it is not {key, type, value}
// of a known type with a value of that type.
bool valueFromJson(const nlohmann::json& entry, const Scene& scene, SavedValue* out,
                   std::string* why) {
    if (!entry.is_object()) return *why = "a value is not an object", false;
    auto key = entry.find("key");
    auto type = entry.find("type");
    auto value = entry.find("value");
    if (key == entry.end() || !key->is_string()) return *why = "a value has no key", false;
    if (type == entry.end() || !type->is_string() || value == entry.end()) {
        return *why = "value \"" + key->get<std::string>() + "\" has no type or value", false;
    }
    out->key = key->get<std::string>();
    const std::string typeText = type->get<std::string>();
    const std::string where = "value \"" + out->key + "\"";
    if (typeText == "int") {
        const bool fits = value->is_number_unsigned()
                              ? value->get<uint64_t>() <= INT32_MAX
                              : value->is_number_integer() && value->get<int64_t>() >= INT32_MIN &&
                                    value->get<int64_t>() <= INT32_MAX;
        if (!fits) {
            return *why = where + " is not a 32-bit integer", false;
        }
        out->type = SavedType::Int;
        out->intValue = static_cast<int32_t>(value->get<int64_t>());
    } else if (typeText == "double") {
        double number = 0.0;
        if (!doubleFromJson(*value, &number)) return *why = where + " is not a number", false;
        out->type = SavedType::Double;
        out->doubleValue = number;
    } else if (typeText == "object") {
        if (!value->is_null() && !value->is_string()) {
            return *why = where + " is not an object name", false;
        }
        out->type = SavedType::Object;
        // An object that is no longer in the scene reads as none.
        out->objectValue = value->is_null() ? 0 : scene.findObject(value->get<std::string>());
    } else {
        return *why = where + " has unknown type \"" + typeText + "\"", false;
    }
    return true;
}

}  // namespace

const SavedValue* SavedBlock::find(const std::string& key) const {
    for (const SavedValue& value : values) {
        if (value.key == key) return &value;
    }
    return nullptr;
}

SettingsContext::SettingsContext() { liveContexts().insert(this); }
SettingsContext::~SettingsContext() { liveContexts().erase(this); }
SettingsContext::SettingsContext(const SettingsContext& other)
    : channels(other.channels), blocks_(other.blocks_) {
    liveContexts().insert(this);
}
SettingsContext& SettingsContext::operator=(const SettingsContext& other) {
    channels = other.channels;
    blocks_ = other.blocks_;
    return *this;
}

SavedBlock* SettingsContext::newBlock(const std::string& name) {
    blocks_.push_back(SavedBlock{name, {}});
    return &blocks_.back();
}

SavedBlock* SettingsContext::block(const std::string& name) {
    for (SavedBlock& block : blocks_) {
        if (block.name == name) return &block;
    }
    return nullptr;
}

const SavedBlock* SettingsContext::block(const std::string& name) const {
    return const_cast<SettingsContext*>(this)->block(name);
}

SettingsContext* SettingsContext::live(void* pointer) {
    auto found = liveContexts().find(static_cast<SettingsContext*>(pointer));
    return found == liveContexts().end() ? nullptr : *found;
}

SavedBlock* SettingsContext::liveBlock(void* pointer) {
    if (pointer == nullptr) return nullptr;
    for (SettingsContext* context : liveContexts()) {
        for (SavedBlock& block : context->blocks_) {
            if (&block == pointer) return &block;
        }
    }
    return nullptr;
}

nlohmann::json settingsToJson(const SettingsContext& context, const Scene& scene) {
    nlohmann::json blocks = nlohmann::json::array();
    for (const SavedBlock& block : context.blocks()) {
        nlohmann::json values = nlohmann::json::array();
        for (const SavedValue& value : block.values) {
            nlohmann::json entry{{"key", value.key}, {"type", typeName(value.type)}};
            switch (value.type) {
                case SavedType::Int: entry["value"] = value.intValue; break;
                case SavedType::Double: entry["value"] = doubleToJson(value.doubleValue); break;
                case SavedType::Object: {
                    const SceneObject* object = scene.object(value.objectValue);
                    entry["value"] = object != nullptr ? nlohmann::json(object->name)
                                                       : nlohmann::json(nullptr);
                    break;
                }
            }
            values.push_back(std::move(entry));
        }
        blocks.push_back({{"name", block.name}, {"values", std::move(values)}});
    }
    nlohmann::json channels = nlohmann::json::array();
    for (const auto& [name, value] : context.channels) {
        channels.push_back({{"name", name}, {"value", doubleToJson(value)}});
    }
    return {{"kestrin_settings", FORMAT_VERSION},
            {"blocks", std::move(blocks)},
            {"channels", std::move(channels)}};
}

bool settingsFromJson(const nlohmann::json& document, const Scene& scene, SettingsContext* out,
                      std::string* error) {
    std::string why;
    auto fail = [&](const std::string& reason) {
        if (error != nullptr) *error = reason;
        return false;
    };
    if (!document.is_object()) return fail("not a settings document (expected a JSON object)");
    auto version = document.find("kestrin_settings");
    if (version == document.end() || !version->is_number_integer()) {
        return fail("not a settings document (no \"kestrin_settings\" version)");
    }
    if (version->get<int64_t>() != FORMAT_VERSION) {
        return fail("settings version " + version->dump() + " is not supported");
    }
    auto blocks = document.find("blocks");
    if (blocks == document.end() || !blocks->is_array()) return fail("no \"blocks\" list");

    SettingsContext read;
    for (const nlohmann::json& block : *blocks) {
        if (!block.is_object()) return fail("a block is not an object");
        auto name = block.find("name");
        auto values = block.find("values");
        if (name == block.end() || !name->is_string()) return fail("a block has no name");
        if (values == block.end() || !values->is_array()) {
            return fail("block \"" + name->get<std::string>() + "\" has no \"values\" list");
        }
        SavedBlock* into = read.newBlock(name->get<std::string>());
        for (const nlohmann::json& entry : *values) {
            SavedValue value;
            if (!valueFromJson(entry, scene, &value, &why)) {
                return fail("block \"" + into->name + "\": " + why);
            }
            into->values.push_back(std::move(value));
        }
    }
    auto channels = document.find("channels");
    if (channels != document.end()) {
        if (!channels->is_array()) return fail("\"channels\" is not a list");
        for (const nlohmann::json& channel : *channels) {
            double value = 0.0;
            if (!channel.is_object() || !channel.contains("name") ||
                !channel["name"].is_string() || !channel.contains("value") ||
                !doubleFromJson(channel["value"], &value)) {
                return fail("a channel is not {name, value}");
            }
            read.channels.emplace_back(channel["name"].get<std::string>(), value);
        }
    }
    *out = read;
    return true;
}

bool SettingsContext::writeFile(const std::string& path, const Scene& scene,
                                std::string* error) const {
    const std::string text = settingsToJson(*this, scene).dump(2) + "\n";
    std::string reason;
    if (writeFileAtomically(path, text, &reason)) return true;
    if (error != nullptr) *error = path + ": " + reason;
    return false;
}

bool SettingsContext::readFile(const std::string& path, const Scene& scene, std::string* error) {
    auto fail = [&](const std::string& reason) {
        if (error != nullptr) *error = path + ": " + reason;
        return false;
    };
    std::ifstream file(path, std::ios::binary);
    if (!file) return fail(std::string("cannot be read: ") + std::strerror(errno));
    std::stringstream text;
    text << file.rdbuf();
    const nlohmann::json document = nlohmann::json::parse(text.str(), nullptr, false);
    if (document.is_discarded()) return fail("not valid JSON");
    std::string why;
    if (!settingsFromJson(document, scene, this, &why)) return fail(why);
    return true;
}

}  // namespace kestrin::host
