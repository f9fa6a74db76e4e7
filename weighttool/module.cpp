// Strainmark's description for the framework, and its message dispatch.
#include "module.h"

#include "host_api.h"
#include "instance.h"
#include "panel.h"
#include "settings.h"
#include "weight.h"
#include "weight_tool_module.h"

namespace {

// WEIGHT_COMPUTE: the host calls computePointWeight for every point of the
// item's mesh, with the record as its instance.
void computeWeights(HostHandle item) {
    WeightToolInstance* tool = findInstance(item);
    if (tool == nullptr) return;
    tool->captureFailed = 0;
    fxWeightToolScan(item, tool, computePointWeight, 0);
}

const WeightToolHandlers strainmark = {createInstance, destroyInstance, loadSettings,
                                       saveSettings,   computeWeights,  buildPanel};

}  // namespace

const ModuleDescriptor moduleDescriptor = {
    "Strainmark",
    "WeightTool to show the tension of a vertex based on edge length",
    weightToolAccess,
    WEIGHT_TOOL_ACCESS_COUNT,
    MODULE_CLASS_WEIGHT_TOOL,
    REGISTER_FLAGS_WEIGHT_TOOL,
};

int32_t moduleCallback(void* data, HostHandle item, uint32_t messageClass, uint64_t subKind) {
    return dispatchWeightToolMessage(strainmark, data, item, messageClass, subKind);
}
