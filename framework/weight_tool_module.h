// The messages every weight tool declares and how it answers them: the
// object messages to its record's life and settings, WEIGHT_COMPUTE to a
// scan, INTERFACE_BUILD to its panel, DISPLAY_SETUP to the common display.
#ifndef KESTRIN_WEIGHT_TOOL_MODULE_H
#define KESTRIN_WEIGHT_TOOL_MODULE_H

#include <stdint.h>

#include "display.h"
#include "kestrin_types.h"
#include "messages.h"
#include "module.h"

// A weight tool's fxModuleAccess calls, in order.
const ModuleAccess weightToolAccess[] = {
    {MSG_OBJECT, OBJ_CREATE | OBJ_DESTROY | OBJ_LOAD | OBJ_SAVE | OBJ_DECLARED_ONLY},
    {MSG_DISPLAY, DISPLAY_SETUP},
    {MSG_INTERFACE, INTERFACE_BUILD},
    {MSG_WEIGHT_TOOL, WEIGHT_COMPUTE},
};
const int32_t WEIGHT_TOOL_ACCESS_COUNT = sizeof weightToolAccess / sizeof weightToolAccess[0];

// What a weight tool does for each message it acts on.
struct WeightToolHandlers {
    void (*create)(HostHandle item);              // OBJ_CREATE
    void (*destroy)(HostHandle item);             // OBJ_DESTROY
    void (*load)(void* data, HostHandle item);    // OBJ_LOAD
    void (*save)(void* data, HostHandle item);    // OBJ_SAVE
    void (*compute)(HostHandle item);             // WEIGHT_COMPUTE
    void (*buildPanel)(void);                     // INTERFACE_BUILD
};

// A weight tool's moduleCallback: sub-kinds compared whole, everything else
// ignored; 0 on every path.
inline int32_t dispatchWeightToolMessage(const WeightToolHandlers& tool, void* data, HostHandle item,
                                         uint32_t messageClass, uint64_t subKind) {
    if (messageClass == MSG_OBJECT) {
        if (subKind == OBJ_CREATE) tool.create(item);
        else if (subKind == OBJ_DESTROY) tool.destroy(item);
        else if (subKind == OBJ_LOAD) tool.load(data, item);
        else if (subKind == OBJ_SAVE) tool.save(data, item);
    } else if (messageClass == MSG_WEIGHT_TOOL && subKind == WEIGHT_COMPUTE) {
        tool.compute(item);
    } else if (messageClass == MSG_INTERFACE && subKind == INTERFACE_BUILD) {
        tool.buildPanel();
    } else if (messageClass == MSG_DISPLAY && subKind == DISPLAY_SETUP) {
        setupModuleDisplay();
    }
    return 0;
}

#endif
