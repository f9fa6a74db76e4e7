// Saved-settings blocks of a save or load in progress.
// Not served yet: each records its call and answers 0.
#include "host.h"
#include "served.h"

namespace kestrin::host::served {

FormatBlock fxFormatNew(void* data, const char* name, int32_t flags) {
    Host::active()->log.record("fxFormatNew", data, name, flags);
    return {};
}

FormatBlock fxFormatGet(void* data, const char* name) {
    Host::active()->log.record("fxFormatGet", data, name);
    return {};
}

int32_t fxArgLoadInt(FormatBlock block, const char* key, int32_t* value) {
    Host::active()->log.record("fxArgLoadInt", block, key, value);
    return {};
}

int32_t fxArgLoadDouble(FormatBlock block, const char* key, double* value) {
    Host::active()->log.record("fxArgLoadDouble", block, key, value);
    return {};
}

int32_t fxArgLoadObj(FormatBlock block, const char* key, HostHandle* value) {
    Host::active()->log.record("fxArgLoadObj", block, key, value);
    return {};
}

int32_t fxArgSaveInt(FormatBlock block, const char* key, int32_t value, int32_t flags) {
    Host::active()->log.record("fxArgSaveInt", block, key, value, flags);
    return {};
}

int32_t fxArgSaveDouble(FormatBlock block, const char* key, double value, int32_t flags) {
    Host::active()->log.record("fxArgSaveDouble", block, key, value, flags);
    return {};
}

int32_t fxArgSaveObj(FormatBlock block, const char* key, HostHandle value, int32_t flags) {
    Host::active()->log.record("fxArgSaveObj", block, key, value, flags);
    return {};
}

}  // namespace kestrin::host::served
