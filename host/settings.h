// Saved settings: the context of a save or load in progress (the `data`
// argument of OBJ_SAVE and OBJ_LOAD), its named blocks and their typed
// values. Object references are handles of the scene. Files of saved
// settings are the drivers' business (the session API hands them plain
// values).
#ifndef KESTRIN_HOST_SETTINGS_H
#define KESTRIN_HOST_SETTINGS_H

#include <stdint.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "kestrin_types.h"

namespace kestrin::host {

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


private:
    std::deque<SavedBlock> blocks_;
};


}  // namespace kestrin::host

#endif
