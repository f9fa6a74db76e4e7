// The three functions a plug-in library exports, under these exact names.
#ifndef KESTRIN_ENTRY_H
#define KESTRIN_ENTRY_H

#include <stdint.h>

#include "kestrin_types.h"

#define KESTRIN_EXPORT extern "C" __attribute__((visibility("default")))

// The interface version, 0x103000. No other effect.
KESTRIN_EXPORT int32_t kestrinAPI(void);

// Checks the host (5: the low four bits of hostType are not 2; 1: none of bits
// 20-23 of hostFlags is set), writes the module name into nameBuffer (exactly
// 255 bytes, zero-padded: the buffer must hold 255), binds the host functions
// (4 when one is missing), describes the module, declares its messages and
// registers its callback. 0 when registered.
KESTRIN_EXPORT int32_t kestrinEntry(char* nameBuffer, HostLookup lookup, int32_t hostFlags,
                                    int32_t hostType);

// Does nothing: everything the library holds lives until it is unloaded.
KESTRIN_EXPORT void kestrinExit(void);

#endif
