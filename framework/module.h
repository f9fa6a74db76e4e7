// What each plug-in tells the framework about itself. The framework's entry
// code is the same in both libraries; only this description differs.
#ifndef KESTRIN_MODULE_H
#define KESTRIN_MODULE_H

#include <stdint.h>

#include "kestrin_types.h"
#include "messages.h"

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

// fxModuleRegister's class codes and flags for each kind of module. What the
// host makes of them is its own; each kind has always registered with these.
enum : int32_t {
    MODULE_CLASS_EFFECT = 1,
    MODULE_CLASS_WEIGHT_TOOL = 3,
    REGISTER_FLAGS_EFFECT = 1,
    REGISTER_FLAGS_WEIGHT_TOOL = 0x1000,
};

// The messages every plug-in declares first, in this order: those
// moduleCallback answers for it (module_callback.cpp).
#define MODULE_ACCESS_COMMON                                                        \
    {MSG_OBJECT, OBJ_CREATE | OBJ_DESTROY | OBJ_LOAD | OBJ_SAVE | OBJ_DECLARED_ONLY}, \
        {MSG_DISPLAY, DISPLAY_SETUP}, {MSG_INTERFACE, INTERFACE_BUILD}

// A descriptor with its access list's length taken from the array.
template <int32_t count>
constexpr ModuleDescriptor describeModule(const char* name, const char* description,
                                          const ModuleAccess (&access)[count], int32_t moduleClass,
                                          int32_t registerFlags) {
    return {name, description, access, count, moduleClass, registerFlags};
}

// Defined by each plug-in: its description, its records' life on an item
// (OBJ_CREATE, OBJ_DESTROY), its saved block (OBJ_LOAD, OBJ_SAVE with the
// host's data), its panel (INTERFACE_BUILD), and the messages of the classes
// only it declares (an effect's passes, a weight tool's scan).
extern const ModuleDescriptor moduleDescriptor;
void createInstance(HostHandle item);
void destroyInstance(HostHandle item);
void loadSettings(void* data, HostHandle item);
void saveSettings(void* data, HostHandle item);
void buildPanel(void);
void moduleMessage(HostHandle item, uint32_t messageClass, uint64_t subKind);

// The callback the framework registers (module_callback.cpp): answers 0 to
// every message, and acts only on a sub-kind that is exactly a handled one.
int32_t moduleCallback(void* data, HostHandle item, uint32_t messageClass, uint64_t subKind);

#endif
