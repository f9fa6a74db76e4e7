// Controls panels, control values and display set-up.
// Not served yet: each records its call and answers 0.
#include "host.h"
#include "served.h"

namespace kestrin::host::served {

int32_t fxInterfaceUpdate(int32_t what, int32_t flags) {
    Host::active()->log.record("fxInterfaceUpdate", what, flags);
    return {};
}

int32_t fxInterfaceBlockSet(const char* section, const char* subSection, const char* hostBlock, HostHandle ownBlock, int32_t flags) {
    Host::active()->log.record("fxInterfaceBlockSet", section, subSection, hostBlock, ownBlock, flags);
    return {};
}

HostHandle fxCC_Block(const char* title, int32_t a, int32_t b, int32_t c) {
    Host::active()->log.record("fxCC_Block", title, a, b, c);
    return {};
}

HostHandle fxCC_Bool(const char* label, ControlCallback callback, int32_t a, int32_t b) {
    Host::active()->log.record("fxCC_Bool", label, callback, a, b);
    return {};
}

HostHandle fxCC_ChannelFloat(const char* label, ControlCallback callback, int32_t a, int32_t channel, int32_t b) {
    Host::active()->log.record("fxCC_ChannelFloat", label, callback, a, channel, b);
    return {};
}

HostHandle fxCC_WeightPopup(const char* label, ControlCallback callback, uint64_t a, int32_t width) {
    Host::active()->log.record("fxCC_WeightPopup", label, callback, a, width);
    return {};
}

HostHandle fxCC_ObjectPopup(const char* label, ControlCallback callback, uint64_t a, int32_t width, const void* filter, const void* filterData, const void* extra, int32_t flags) {
    Host::active()->log.record("fxCC_ObjectPopup", label, callback, a, width, filter, filterData, extra, flags);
    return {};
}

int32_t fxConSetPos(HostHandle control, int32_t x, int32_t y) {
    Host::active()->log.record("fxConSetPos", control, x, y);
    return {};
}

int32_t fxConGetInt(HostHandle control, int32_t* value) {
    Host::active()->log.record("fxConGetInt", control, value);
    return {};
}

int32_t fxConGetObj(HostHandle control, HostHandle* value) {
    Host::active()->log.record("fxConGetObj", control, value);
    return {};
}

int32_t fxConSetInt(HostHandle control, int32_t value) {
    Host::active()->log.record("fxConSetInt", control, value);
    return {};
}

int32_t fxConSetObj(HostHandle control, HostHandle value) {
    Host::active()->log.record("fxConSetObj", control, value);
    return {};
}

int32_t fxInitEffectManipulator(const char* name, int32_t flags) {
    Host::active()->log.record("fxInitEffectManipulator", name, flags);
    return {};
}

int32_t fxInitEffectColor(uint8_t red, uint8_t green, uint8_t blue) {
    Host::active()->log.record("fxInitEffectColor", red, green, blue);
    return {};
}

int32_t fxInitEffectTool(const char* name, int32_t flags) {
    Host::active()->log.record("fxInitEffectTool", name, flags);
    return {};
}

}  // namespace kestrin::host::served
