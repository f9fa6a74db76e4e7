// The messages every weight tool declares: its record's life and settings,
// its panel, the common display, and WEIGHT_COMPUTE for its scan.
#ifndef KESTRIN_WEIGHT_TOOL_MODULE_H
#define KESTRIN_WEIGHT_TOOL_MODULE_H

#include "messages.h"
#include "module.h"

// A weight tool's fxModuleAccess calls, in order.
const ModuleAccess weightToolAccess[] = {
    MODULE_ACCESS_COMMON,
    {MSG_WEIGHT_TOOL, WEIGHT_COMPUTE},
};

#endif
