// Rimshaper's description for the framework (it registers the effect
// "Strainshaper"), and its message dispatch.
#include "module.h"

#include "capture.h"
#include "displace.h"
#include "display.h"
#include "host_api.h"
#include "instance.h"
#include "messages.h"
#include "panel.h"
#include "settings.h"
#include "tangent_api.h"

namespace {
const ModuleAccess strainshaperAccess[] = {
    {MSG_OBJECT, OBJ_CREATE | OBJ_DESTROY | OBJ_LOAD | OBJ_SAVE | OBJ_DECLARED_ONLY},
    {MSG_DISPLAY, DISPLAY_SETUP},
    {MSG_INTERFACE, INTERFACE_BUILD},
    {MSG_EFFECT, EFFECT_SETUP | EFFECT_DISPLACE},
    {MSG_LINK, LINK_FUNCTIONS},
};

// Starts a scan of the item's targets with routine, if the item has a record.
void scanTargets(HostHandle item, TargetScanRoutine routine) {
    MorpherInstance* record = findInstance(item);
    if (record != nullptr) fxEffectTargetScan(item, routine, record, 0);
}

void onEffect(HostHandle item, uint64_t subKind) {
    if (subKind == EFFECT_SETUP) {
        scanTargets(item, captureRoutine);
    } else if (subKind == EFFECT_DISPLACE) {
        scanTargets(item, displaceRoutine);
    }
}

void onObject(void* data, HostHandle item, uint64_t subKind) {
    switch (subKind) {
        case OBJ_CREATE: createInstance(item); break;
        case OBJ_DESTROY: destroyInstance(item); break;
        case OBJ_LOAD: loadSettings(data, item); break;
        case OBJ_SAVE: saveSettings(data, item); break;
        default: break;
    }
}

}  // namespace

// The description does not say what the effect does, but the host registers
// the effect under it and stored scenes refer to the effect by it: it stays.
const ModuleDescriptor moduleDescriptor = {
    "Strainshaper",
    "Points lag behind the motion of the object based on their distance from the pivot",
    strainshaperAccess,
    sizeof strainshaperAccess / sizeof strainshaperAccess[0],
    MODULE_CLASS_EFFECT,
    REGISTER_FLAGS_EFFECT,
};

int32_t moduleCallback(void* data, HostHandle item, uint32_t messageClass, uint64_t subKind) {
    switch (messageClass) {
        case MSG_EFFECT: onEffect(item, subKind); break;
        case MSG_OBJECT: onObject(data, item, subKind); break;
        case MSG_INTERFACE:
            if (subKind == INTERFACE_BUILD) buildPanel();
            break;
        case MSG_DISPLAY:
            if (subKind == DISPLAY_SETUP) setupModuleDisplay();
            break;
        case MSG_LINK:
            if (subKind == LINK_FUNCTIONS) linkTangentFunctions();
            break;
        default: break;
    }
    return 0;
}
