// What each plug-in tells the framework about itself. The framework's entry
// code is the same in both libraries; only this description differs.
#ifndef KESTRIN_MODULE_H
#define KESTRIN_MODULE_H

#include <stdint.h>

#include "kestrin_types.h"

// One fxModuleAccess call: a message class and the OR of the sub-kinds wanted.
typedef struct ModuleAccess {
    uint32_t messageClass;
    uint64_t subKindMask;
} ModuleAccess;

typedef struct ModuleDescriptor {
    const char* name;         // handed back to the host and registered
    const char* description;  // fxModuleDescription text
    const ModuleAccess* access;
    int32_t accessCount;      // fxModuleAccess calls, made in array order
    int32_t moduleClass;      // fxModuleRegister's module class code
    int32_t registerFlags;    // fxModuleRegister's flags
} ModuleDescriptor;

// Defined by each plug-in.
extern const ModuleDescriptor moduleDescriptor;
int32_t moduleCallback(void* data, HostHandle item, uint32_t messageClass, uint64_t subKind);

#endif
