// Strainmark's description for the framework, and its own message: the
// weight scan.
#include "module.h"

#include "host_api.h"
#include "instance.h"
#include "weight.h"
#include "weight_tool_module.h"

const ModuleDescriptor moduleDescriptor =
    describeModule("Strainmark", "WeightTool to show the tension of a vertex based on edge length", weightToolAccess,
                   MODULE_CLASS_WEIGHT_TOOL, REGISTER_FLAGS_WEIGHT_TOOL);

// WEIGHT_COMPUTE: the host calls computePointWeight for every point of the
// item's mesh, with the record as its instance.
void moduleMessage(HostHandle item, uint32_t messageClass, uint64_t subKind) {
    if (messageClass != MSG_WEIGHT_TOOL || subKind != WEIGHT_COMPUTE) return;
    WeightToolInstance* tool = findInstance(item);
    if (tool == nullptr) return;
    tool->captureFailed = 0;
    fxWeightToolScan(item, tool, computePointWeight, 0);
}
