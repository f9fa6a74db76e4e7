// Saved-settings blocks of a save or load in progress. The context and the
// blocks a plug-in hands back are checked against the live ones: anything
// else reads as "no block", so a stale or made-up handle is never followed.
#include "host.h"
#include "messages.h"
#include "served.h"
#include "settings.h"

namespace kestrin::host::served {
namespace {

// Saving a key twice keeps its first place and the later value.
void store(FormatBlock block, const char* key, SavedValue value) {
    SavedBlock* into = SettingsContext::liveBlock(block);
    if (into == nullptr || key == nullptr) return;
    value.key = key;
    for (SavedValue& existing : into->values) {
        if (existing.key == value.key) {
            existing = value;
            return;
        }
    }
    into->values.push_back(value);
}

// The stored value of key with that type; null when the block is not live,
// the key is missing or holds another type.
const SavedValue* stored(FormatBlock block, const char* key, SavedType type) {
    const SavedBlock* from = SettingsContext::liveBlock(block);
    if (from == nullptr || key == nullptr) return nullptr;
    const SavedValue* value = from->find(key);
    return value != nullptr && value->type == type ? value : nullptr;
}

}  // namespace

FormatBlock fxFormatNew(void* data, const char* name, int32_t flags) {
    Host::active()->log.record(__func__, data, name, flags);
    SettingsContext* context = SettingsContext::live(data);
    if (context == nullptr || name == nullptr) return nullptr;
    return context->newBlock(name);
}

FormatBlock fxFormatGet(void* data, const char* name) {
    Host::active()->log.record(__func__, data, name);
    SettingsContext* context = SettingsContext::live(data);
    if (context == nullptr || name == nullptr) return nullptr;
    return context->block(name);
}

int32_t fxArgLoadInt(FormatBlock block, const char* key, int32_t* value) {
    Host::active()->log.record(__func__, block, key, value);
    const SavedValue* found = stored(block, key, SavedType::Int);
    if (found == nullptr || value == nullptr) return 1;
    *value = found->intValue;
    return 0;
}

int32_t fxArgLoadDouble(FormatBlock block, const char* key, double* value) {
    Host::active()->log.record(__func__, block, key, value);
    const SavedValue* found = stored(block, key, SavedType::Double);
    if (found == nullptr || value == nullptr) return 1;
    *value = found->doubleValue;
    return 0;
}

int32_t fxArgLoadObj(FormatBlock block, const char* key, HostHandle* value) {
    Host::active()->log.record(__func__, block, key, value);
    const SavedValue* found = stored(block, key, SavedType::Object);
    if (found == nullptr || value == nullptr) return 1;
    *value = found->objectValue;
    return 0;
}

int32_t fxArgSaveInt(FormatBlock block, const char* key, int32_t value, int32_t flags) {
    Host::active()->log.record(__func__, block, key, value, flags);
    SavedValue saved;
    saved.type = SavedType::Int;
    saved.intValue = value;
    store(block, key, saved);
    return 0;
}

int32_t fxArgSaveDouble(FormatBlock block, const char* key, double value, int32_t flags) {
    Host::active()->log.record(__func__, block, key, value, flags);
    SavedValue saved;
    saved.type = SavedType::Double;
    saved.doubleValue = value;
    store(block, key, saved);
    return 0;
}

int32_t fxArgSaveObj(FormatBlock block, const char* key, HostHandle value, int32_t flags) {
    Host::active()->log.record(__func__, block, key, value, flags);
    SavedValue saved;
    saved.type = SavedType::Object;
    saved.objectValue = value;
    store(block, key, saved);
    return 0;
}

}  // namespace kestrin::host::served

namespace kestrin::host {

int32_t Host::saveInstance(int module, HostHandle item, SettingsContext& context) {
    context.channels.clear();
    for (const Channel& channel : channels.all()) {
        if (channel.module == module && channel.item == item) {
            context.channels.emplace_back(channel.name, channel.value);
        }
    }
    return send(module, item, MSG_OBJECT, OBJ_SAVE, &context);
}

// The host restores its channels first, so the fields they are linked to
// already hold the saved values when the module reads its blocks.
int32_t Host::loadInstance(int module, HostHandle item, SettingsContext& context) {
    for (const auto& [name, value] : context.channels) channels.set(module, item, name, value);
    return send(module, item, MSG_OBJECT, OBJ_LOAD, &context);
}

}  // namespace kestrin::host
