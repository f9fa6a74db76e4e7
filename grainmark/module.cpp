// Grainmark's description for the framework, and its message dispatch.
#include "module.h"

#include "display.h"
#include "grain.h"
#include "host_api.h"
#include "instance.h"
#include "messages.h"
#include "panel.h"
#include "settings.h"

namespace {
const ModuleAccess grainmarkAccess[] = {
    {MSG_OBJECT, OBJ_CREATE | OBJ_DESTROY | OBJ_LOAD | OBJ_SAVE | OBJ_DECLARED_ONLY},
    {MSG_DISPLAY, DISPLAY_SETUP},
    {MSG_INTERFACE, INTERFACE_BUILD},
    {MSG_WEIGHT_TOOL, WEIGHT_COMPUTE},
};

// WEIGHT_COMPUTE: the host calls computePointGrain for every point of the
// item's mesh, with the record as its instance; the first call reads the
// pose the scan measures.
void computeWeights(HostHandle item) {
    GrainInstance* grain = findInstance(item);
    if (grain == nullptr) return;
    grain->captureFailed = 0;
    grain->poseRead = 0;
    fxWeightToolScan(item, grain, computePointGrain, 0);
}

void onObject(void* data, HostHandle item, uint64_t subKind) {
    if (subKind == OBJ_CREATE) {
        createInstance(item);
    } else if (subKind == OBJ_DESTROY) {
        destroyInstance(item);
    } else if (subKind == OBJ_LOAD) {
        loadSettings(data, item);
    } else if (subKind == OBJ_SAVE) {
        saveSettings(data, item);
    }
}
}  // namespace

const ModuleDescriptor moduleDescriptor = {
    "Grainmark",
    "WeightTool to show the stretch of the surface along a direction",
    grainmarkAccess,
    sizeof grainmarkAccess / sizeof grainmarkAccess[0],
    MODULE_CLASS_WEIGHT_TOOL,
    REGISTER_FLAGS_WEIGHT_TOOL,
};

int32_t moduleCallback(void* data, HostHandle item, uint32_t messageClass, uint64_t subKind) {
    switch (messageClass) {
        case MSG_OBJECT:
            onObject(data, item, subKind);
            break;
        case MSG_WEIGHT_TOOL:
            if (subKind == WEIGHT_COMPUTE) computeWeights(item);
            break;
        case MSG_INTERFACE:
            if (subKind == INTERFACE_BUILD) buildPanel();
            break;
        case MSG_DISPLAY:
            if (subKind == DISPLAY_SETUP) setupModuleDisplay();
            break;
        default:
            break;
    }
    return 0;
}
