// Rimshaper's description for the framework (it registers the effect
// "Strainshaper"), and its own messages: the effect passes and the link to
// the tangent-space provider.
#include "module.h"

#include "capture.h"
#include "displace.h"
#include "host_api.h"
#include "instance.h"
#include "messages.h"
#include "tangent_api.h"

namespace {
const ModuleAccess strainshaperAccess[] = {
    MODULE_ACCESS_COMMON,
    {MSG_EFFECT, EFFECT_SETUP | EFFECT_DISPLACE},
    {MSG_LINK, LINK_FUNCTIONS},
};

// Starts a scan of the item's targets with routine, if the item has a record.
void scanTargets(HostHandle item, TargetScanRoutine routine) {
    MorpherInstance* record = findInstance(item);
    if (record != nullptr) fxEffectTargetScan(item, routine, record, 0);
}

}  // namespace

// The description does not say what the effect does, but the host registers
// the effect under it and stored scenes refer to the effect by it: it stays.
const ModuleDescriptor moduleDescriptor =
    describeModule("Strainshaper", "Points lag behind the motion of the object based on their distance from the pivot",
                   strainshaperAccess, MODULE_CLASS_EFFECT, REGISTER_FLAGS_EFFECT);

void moduleMessage(HostHandle item, uint32_t messageClass, uint64_t subKind) {
    if (messageClass == MSG_EFFECT && subKind == EFFECT_SETUP) {
        scanTargets(item, captureRoutine);
    } else if (messageClass == MSG_EFFECT && subKind == EFFECT_DISPLACE) {
        scanTargets(item, displaceRoutine);
    } else if (messageClass == MSG_LINK && subKind == LINK_FUNCTIONS) {
        linkTangentFunctions();
    }
}
