// The messages every weight tool declares: its record's life and settings,
// its panel, the common display, and WEIGHT_COMPUTE for its scan.
#ifndef KESTRIN_WEIGHT_TOOL_MODULE_H
#define KESTRIN_WEIGHT_TOOL_MODULE_H

#include <stdint.h>

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

#endif
