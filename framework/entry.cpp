#include "entry.h"

#include <string.h>

#include "binding.h"
#include "host_api.h"
#include "messages.h"
#include "module.h"

enum : int32_t {
    ENTRY_OK = 0,
    ENTRY_WRONG_HOST_FLAGS = 1,
    ENTRY_MISSING_FUNCTION = 4,
    ENTRY_WRONG_HOST_TYPE = 5,
};

int32_t kestrinAPI(void) { return KESTRIN_API_VERSION; }

int32_t kestrinEntry(char* nameBuffer, HostLookup lookup, int32_t hostFlags, int32_t hostType) {
    requestedGroups = BIND_ALL;
    if ((hostType & 0xF) != 2) return ENTRY_WRONG_HOST_TYPE;
    if ((static_cast<uint32_t>(hostFlags) & 0xF00000u) == 0) return ENTRY_WRONG_HOST_FLAGS;

    // strncpy pads with zeros up to the bound: the host sees exactly 255 bytes.
    // A host that gives no buffer learns no name, but the module still loads.
    if (nameBuffer != nullptr) strncpy(nameBuffer, moduleDescriptor.name, 255);
    strncpy(moduleTitle, moduleDescriptor.name, sizeof moduleTitle - 1);
    hostLookup = lookup;

    if (bindHostFunctions(requestedGroups) == 0) return ENTRY_MISSING_FUNCTION;

    fxModuleDescription(moduleDescriptor.description, 0);
    for (int32_t i = 0; i < moduleDescriptor.accessCount; ++i) {
        fxModuleAccess(moduleDescriptor.access[i].messageClass,
                       moduleDescriptor.access[i].subKindMask, 0);
    }
    fxModuleRegister(moduleDescriptor.moduleClass, moduleDescriptor.name, moduleCallback,
                     moduleDescriptor.registerFlags);
    return ENTRY_OK;
}

void kestrinExit(void) {}
