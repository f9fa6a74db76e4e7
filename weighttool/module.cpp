// Strainmark's description for the framework, and its message dispatch.
#include "module.h"

#include "messages.h"

namespace {
const ModuleAccess strainmarkAccess[] = {
    {MSG_OBJECT, OBJ_CREATE | OBJ_DESTROY | OBJ_LOAD | OBJ_SAVE | OBJ_DECLARED_ONLY},
    {MSG_DISPLAY, DISPLAY_SETUP},
    {MSG_INTERFACE, INTERFACE_BUILD},
    {MSG_WEIGHT_TOOL, WEIGHT_COMPUTE},
};
}  // namespace

const ModuleDescriptor moduleDescriptor = {
    "Strainmark",
    "WeightTool to show the tension of a vertex based on edge length",
    strainmarkAccess,
    sizeof strainmarkAccess / sizeof strainmarkAccess[0],
    3,
    0x1000,
};

int32_t moduleCallback(void* data, HostHandle item, uint32_t messageClass, uint64_t subKind) {
    (void)data;
    (void)item;
    (void)messageClass;
    (void)subKind;
    return 0;
}
