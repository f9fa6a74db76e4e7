// Controls panels, control values and display set-up, and the user's side of
// the controls.
#include "host.h"
#include "messages.h"
#include "served.h"

namespace kestrin::host::served {
namespace {

std::string text(const char* value) { return value != nullptr ? value : ""; }

HostHandle addControl(ControlKind kind, const char* label, ControlCallback callback,
                      std::vector<std::string> arguments, int32_t channel = -1) {
    Host* host = Host::active();
    return host->controls.add(host->callingModule(), kind, text(label), callback,
                              std::move(arguments), channel);
}

}  // namespace

int32_t fxInterfaceUpdate(int32_t what, int32_t flags) {
    Host* host = Host::active();
    host->log.record(__func__, what, flags);
    ++host->controls.interfaceUpdates;
    return 0;
}

int32_t fxInterfaceBlockSet(const char* section, const char* subSection, const char* hostBlock,
                            HostHandle ownBlock, int32_t flags) {
    Host* host = Host::active();
    host->log.record(__func__, section, subSection, hostBlock, ownBlock, flags);
    host->controls.placements.push_back(
        {host->callingModule(), text(section), text(subSection), text(hostBlock), ownBlock, flags});
    return 0;
}

HostHandle fxCC_Block(const char* title, int32_t a, int32_t b, int32_t c) {
    Host* host = Host::active();
    host->log.record(__func__, title, a, b, c);
    return host->controls.addBlock(host->callingModule(), text(title));
}

HostHandle fxCC_Bool(const char* label, ControlCallback callback, int32_t a, int32_t b) {
    Host::active()->log.record(__func__, label, callback, a, b);
    return addControl(ControlKind::Bool, label, callback, {formatArg(a), formatArg(b)});
}

HostHandle fxCC_ChannelFloat(const char* label, ControlCallback callback, int32_t a,
                             int32_t channel, int32_t b) {
    Host::active()->log.record(__func__, label, callback, a, channel, b);
    return addControl(ControlKind::ChannelFloat, label, callback, {formatArg(a), formatArg(b)},
                      channel);
}

HostHandle fxCC_WeightPopup(const char* label, ControlCallback callback, uint64_t a,
                            int32_t width) {
    Host::active()->log.record(__func__, label, callback, a, width);
    return addControl(ControlKind::WeightPopup, label, callback, {formatArg(a), formatArg(width)});
}

HostHandle fxCC_ObjectPopup(const char* label, ControlCallback callback, uint64_t a,
                            int32_t width, const void* filter, const void* filterData,
                            const void* extra, int32_t flags) {
    Host::active()->log.record(__func__, label, callback, a, width, filter, filterData,
                               extra, flags);
    return addControl(ControlKind::ObjectPopup, label, callback,
                      {formatArg(a), formatArg(width), formatArg(filter), formatArg(filterData),
                       formatArg(extra), formatArg(flags)});
}

int32_t fxConSetPos(HostHandle control, int32_t x, int32_t y) {
    Host* host = Host::active();
    host->log.record(__func__, control, x, y);
    Control* found = host->controls.find(control);
    if (found == nullptr) return 1;
    found->positioned = true;
    found->x = x;
    found->y = y;
    return 0;
}

int32_t fxConGetInt(HostHandle control, int32_t* value) {
    Host* host = Host::active();
    host->log.record(__func__, control, value);
    const Control* found = host->controls.find(control);
    if (found == nullptr || value == nullptr) return 1;
    *value = found->intValue;
    return 0;
}

int32_t fxConGetObj(HostHandle control, HostHandle* value) {
    Host* host = Host::active();
    host->log.record(__func__, control, value);
    const Control* found = host->controls.find(control);
    if (found == nullptr || value == nullptr) return 1;
    *value = found->objectValue;
    return 0;
}

int32_t fxConSetInt(HostHandle control, int32_t value) {
    Host* host = Host::active();
    host->log.record(__func__, control, value);
    Control* found = host->controls.find(control);
    if (found == nullptr) return 1;
    found->intValue = value;
    return 0;
}

int32_t fxConSetObj(HostHandle control, HostHandle value) {
    Host* host = Host::active();
    host->log.record(__func__, control, value);
    Control* found = host->controls.find(control);
    if (found == nullptr) return 1;
    found->objectValue = value;
    return 0;
}

int32_t fxInitEffectManipulator(const char* name, int32_t flags) {
    Host* host = Host::active();
    host->log.record(__func__, name, flags);
    host->controls.display[host->callingModule()].manipulator = text(name);
    return 0;
}

int32_t fxInitEffectColor(uint8_t red, uint8_t green, uint8_t blue) {
    Host* host = Host::active();
    host->log.record(__func__, red, green, blue);
    DisplaySetup& setup = host->controls.display[host->callingModule()];
    setup.color[0] = red;
    setup.color[1] = green;
    setup.color[2] = blue;
    return 0;
}

int32_t fxInitEffectTool(const char* name, int32_t flags) {
    Host* host = Host::active();
    host->log.record(__func__, name, flags);
    host->controls.display[host->callingModule()].tool = text(name);
    return 0;
}

}  // namespace kestrin::host::served

namespace kestrin::host {

const char* controlKindName(ControlKind kind) {
    switch (kind) {
        case ControlKind::Block: return "fxCC_Block";
        case ControlKind::ChannelFloat: return "fxCC_ChannelFloat";
        case ControlKind::Bool: return "fxCC_Bool";
        case ControlKind::WeightPopup: return "fxCC_WeightPopup";
        case ControlKind::ObjectPopup: return "fxCC_ObjectPopup";
    }
    return "?";
}

HostHandle ControlStore::addBlock(int module, const std::string& title) {
    Control block;
    block.id = FIRST_HANDLE + static_cast<HostHandle>(controls_.size());
    block.module = module;
    block.kind = ControlKind::Block;
    block.label = title;
    controls_.push_back(block);
    lastBlock_[module] = block.id;
    return block.id;
}

HostHandle ControlStore::add(int module, ControlKind kind, const std::string& label,
                             ControlCallback callback, std::vector<std::string> arguments,
                             int32_t channel) {
    Control control;
    control.id = FIRST_HANDLE + static_cast<HostHandle>(controls_.size());
    control.module = module;
    control.kind = kind;
    control.label = label;
    control.callback = callback;
    control.block = lastBlock(module);
    control.channel = channel;
    control.arguments = std::move(arguments);
    controls_.push_back(std::move(control));
    return controls_.back().id;
}

Control* ControlStore::find(HostHandle id) {
    if (id < FIRST_HANDLE || id - FIRST_HANDLE >= controls_.size()) return nullptr;
    return &controls_[id - FIRST_HANDLE];
}

const Control* ControlStore::find(HostHandle id) const {
    return const_cast<ControlStore*>(this)->find(id);
}

Control* ControlStore::find(int module, const std::string& label) {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        if (it->kind != ControlKind::Block && it->label == label &&
            (module == -1 || it->module == module)) {
            return &*it;
        }
    }
    return nullptr;
}

std::vector<const Control*> ControlStore::inBlock(HostHandle block) const {
    std::vector<const Control*> out;
    for (const Control& control : controls_) {
        if (control.block == block && control.kind != ControlKind::Block) out.push_back(&control);
    }
    return out;
}

HostHandle ControlStore::lastBlock(int module) const {
    auto found = lastBlock_.find(module);
    return found == lastBlock_.end() ? 0 : found->second;
}

int32_t Host::controlEvent(HostHandle control, HostHandle item, uint64_t event) {
    const Control* found = controls.find(control);
    if (found == nullptr || found->callback == nullptr) return -1;
    ControlCallback callback = found->callback;
    return callInto(found->module, [&] { return callback(control, item, nullptr, event); });
}

int32_t Host::changeControl(HostHandle control, HostHandle item, int32_t value) {
    Control* found = controls.find(control);
    if (found == nullptr) return -1;
    found->intValue = value;
    return controlEvent(control, item, CONTROL_CHANGED);
}

int32_t Host::changeControlObject(HostHandle control, HostHandle item, HostHandle value) {
    Control* found = controls.find(control);
    if (found == nullptr) return -1;
    found->objectValue = value;
    return controlEvent(control, item, CONTROL_CHANGED);
}

int32_t Host::refreshControl(HostHandle control, HostHandle item) {
    return controlEvent(control, item, CONTROL_REFRESH);
}

}  // namespace kestrin::host
