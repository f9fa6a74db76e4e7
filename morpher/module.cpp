// Rimshaper's description for the framework (it registers the effect
// "Strainshaper"), and its message dispatch.
#include "module.h"

#include "messages.h"

namespace {
const ModuleAccess strainshaperAccess[] = {
    {MSG_OBJECT, OBJ_CREATE | OBJ_DESTROY | OBJ_LOAD | OBJ_SAVE | OBJ_DECLARED_ONLY},
    {MSG_DISPLAY, DISPLAY_SETUP},
    {MSG_INTERFACE, INTERFACE_BUILD},
    {MSG_EFFECT, EFFECT_SETUP | EFFECT_DISPLACE},
    {MSG_LINK, LINK_FUNCTIONS},
};
}  // namespace

const ModuleDescriptor moduleDescriptor = {
    "Strainshaper",
    "Points lag behind the motion of the object based on their distance from the pivot",
    strainshaperAccess,
    sizeof strainshaperAccess / sizeof strainshaperAccess[0],
    1,
    1,
};

int32_t moduleCallback(void* data, HostHandle item, uint32_t messageClass, uint64_t subKind) {
    (void)data;
    (void)item;
    (void)messageClass;
    (void)subKind;
    return 0;
}
