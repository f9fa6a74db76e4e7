// Saved settings: the context of a save or load in progress (the `data`
// argument of OBJ_SAVE and OBJ_LOAD), its named blocks and their typed values,
// and the file that keeps a context between sessions.
//
// File format (JSON, one context per file):
//   {"kestrin_settings": 1,
//    "blocks": [{"name": "LagData",
//                "values": [{"key": "positive", "type": "int", "value": 0},
//                           {"key": "lag", "type": "double", "value": 0.2},
//                           {"key": "target", "type": "object", "value": "Sphere"}]}],
//    "channels": [{"name": "Exponent", "value": 0.2}]}
// Object references are kept by object name (null for none) and resolved
// against the scene when the file is read; a name the scene no longer has
// reads as none. "channels" may be left out.
#ifndef KESTRIN_HOST_SETTINGS_H
#define KESTRIN_HOST_SETTINGS_H

#include <stdint.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "kestrin_types.h"

namespace kestrin::host {

class Scene;

enum class SavedType { Int, Double, Object };

struct SavedValue {
    std::string key;
    SavedType type = SavedType::Int;
    int32_t intValue = 0;
    double doubleValue = 0.0;
    HostHandle objectValue = 0;
};

struct SavedBlock {
    std::string name;
    std::vector<SavedValue> values;  // in the order they were saved

    // The first value saved under key; null when there is none.
    const SavedValue* find(const std::string& key) const;
};

// A save or load in progress. Pass its address as the message's data. The
// blocks it hands out (FormatBlock) stay valid as long as the context lives.
class SettingsContext {
public:
    SettingsContext();
    ~SettingsContext();
    SettingsContext(const SettingsContext& other);
    SettingsContext& operator=(const SettingsContext& other);

    // fxFormatNew: a new, empty block of that name.
    SavedBlock* newBlock(const std::string& name);
    // fxFormatGet: the first block of that name, or null.
    SavedBlock* block(const std::string& name);
    const SavedBlock* block(const std::string& name) const;
    const std::deque<SavedBlock>& blocks() const { return blocks_; }
    void clear() {
        blocks_.clear();
        channels.clear();
    }

    // The instance's channel values, which the host keeps with the item
    // beside the plug-in's blocks (Host::saveInstance / loadInstance).
    std::vector<std::pair<std::string, double>> channels;

    // Whether pointer is a live context, or a block of a live context. The
    // served functions check what a plug-in hands them before using it.
    static SettingsContext* live(void* pointer);
    static SavedBlock* liveBlock(void* pointer);

    // Writes the context to path atomically (a temporary file in the same
    // directory, then a rename). False with the reason in *error.
    bool writeFile(const std::string& path, const Scene& scene, std::string* error) const;
    // Replaces the context with the one in path. A file that cannot be read,
    // does not parse or has the wrong shape is refused whole: false, the
    // context unchanged, and "<path>: <reason>" in *error.
    bool readFile(const std::string& path, const Scene& scene, std::string* error);

private:
    std::deque<SavedBlock> blocks_;
};

// The JSON form of a context, for tools that keep several in one document.
nlohmann::json settingsToJson(const SettingsContext& context, const Scene& scene);
// False with the reason in *error (and *out unchanged) when the document does
// not have the shape above.
bool settingsFromJson(const nlohmann::json& document, const Scene& scene, SettingsContext* out,
                      std::string* error);

}  // namespace kestrin::host

#endif
