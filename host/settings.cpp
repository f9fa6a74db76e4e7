#include "settings.h"

#include <mutex>
#include <set>

namespace kestrin::host {
namespace {

// Sessions may run on several threads at once: the set of live contexts is
// shared by all of them.
std::recursive_mutex liveContextsMutex;

std::set<SettingsContext*>& liveContexts() {
    static std::set<SettingsContext*> contexts;
    return contexts;
}

}  // namespace

const SavedValue* SavedBlock::find(const std::string& key) const {
    for (const SavedValue& value : values) {
        if (value.key == key) return &value;
    }
    return nullptr;
}

SettingsContext::SettingsContext() {
    std::lock_guard<std::recursive_mutex> lock(liveContextsMutex);
    liveContexts().insert(this);
}
SettingsContext::~SettingsContext() {
    std::lock_guard<std::recursive_mutex> lock(liveContextsMutex);
    liveContexts().erase(this);
}
SettingsContext::SettingsContext(const SettingsContext& other)
    : channels(other.channels), blocks_(other.blocks_) {
    std::lock_guard<std::recursive_mutex> lock(liveContextsMutex);
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
    std::lock_guard<std::recursive_mutex> lock(liveContextsMutex);
    auto found = liveContexts().find(static_cast<SettingsContext*>(pointer));
    return found == liveContexts().end() ? nullptr : *found;
}

SavedBlock* SettingsContext::liveBlock(void* pointer) {
    if (pointer == nullptr) return nullptr;
    std::lock_guard<std::recursive_mutex> lock(liveContextsMutex);
    for (SettingsContext* context : liveContexts()) {
        for (SavedBlock& block : context->blocks_) {
            if (&block == pointer) return &block;
        }
    }
    return nullptr;
}

}  // namespace kestrin::host
