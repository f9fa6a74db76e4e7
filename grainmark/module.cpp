// Grainmark's description for the framework, and its own message: the
// weight scan.
#include "module.h"

#include "grain.h"
#include "host_api.h"
#include "instance.h"
#include "weight_tool_module.h"

const ModuleDescriptor moduleDescriptor =
    describeModule("Grainmark", "WeightTool to show the stretch of the surface along a direction", weightToolAccess,
                   MODULE_CLASS_WEIGHT_TOOL, REGISTER_FLAGS_WEIGHT_TOOL);

// WEIGHT_COMPUTE: the host calls computePointGrain for every point of the
// item's mesh, with the record as its instance; the first call reads the
// pose the scan measures.
void moduleMessage(HostHandle item, uint32_t messageClass, uint64_t subKind) {
    if (messageClass != MSG_WEIGHT_TOOL || subKind != WEIGHT_COMPUTE) return;
    GrainInstance* grain = findInstance(item);
    if (grain == nullptr) return;
    grain->captureFailed = 0;
    grain->poseRead = 0;
    fxWeightToolScan(item, grain, computePointGrain, 0);
}
