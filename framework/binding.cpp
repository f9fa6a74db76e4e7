#include "binding.h"

#include <stdio.h>
#include <string.h>

#include "host_api.h"
#include "messages.h"

uint32_t loadedGroups = 0;
uint32_t currentGroup = 0;
uint32_t requestedGroups = 0;
HostLookup hostLookup = nullptr;
char moduleTitle[256];

namespace {

struct BindEntry {
    const char* name;
    uint32_t group;
    void* slot;  // the module-wide pointer that receives the function
};

#define HOST_FUNCTION(group, name) {#name, group, (void*)&name},
const BindEntry bindTable[] = {
#include "host_functions.def"
};

constexpr int32_t bindTableSize = sizeof bindTable / sizeof bindTable[0];
static_assert(bindTableSize == (KESTRIN_BINDS_WEIGHT_TOOL ? 715 : 708),
              "the host function list lost or gained a name");

// Tells the user which name is missing. Without fxMessageSend there is nobody
// to tell: the failure is silent.
void reportMissing(const char* name) {
    if (fxMessageSend == nullptr) return;
    char text[320];
    snprintf(text, sizeof text, "%s could not be found!", name);
    fxMessageSend(0, moduleTitle, 0x500, text, 0);
}

}  // namespace

int32_t hostFunctionCount(void) { return bindTableSize; }

int32_t bindHostFunctions(uint32_t requested) {
    int32_t i = 0;
    while (i < bindTableSize) {
        const uint32_t group = bindTable[i].group;
        int32_t end = i;
        while (end < bindTableSize && bindTable[end].group == group) ++end;

        if ((requested & group) != 0 && (loadedGroups & group) == 0) {
            loadedGroups |= group;
            currentGroup = group;
            for (int32_t k = i; k < end; ++k) {
                // A host that gave no lookup callback supplies nothing: every
                // name is missing rather than a call through null.
                HostFunction function = hostLookup != nullptr
                                            ? hostLookup(bindTable[k].name, currentGroup)
                                            : nullptr;
                // The slots differ in type; copying the bits stores the function
                // in whichever pointer type the slot has.
                memcpy(bindTable[k].slot, &function, sizeof function);
                if (function == nullptr) {
                    reportMissing(bindTable[k].name);
                    return 0;
                }
            }
        }
        i = end;
    }
    return 1;
}
