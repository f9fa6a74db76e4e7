#include "instance.h"

#include <stdlib.h>

#include "host_api.h"
#include "rest_state.h"
#include "weight_tool_record.h"

void resetWeightTool(WeightToolInstance* tool) {
    tool->exponent = 0.0;
    tool->captured = 0;
    setDefaultToggles(tool, false);
}

WeightToolInstance* findInstance(HostHandle item) { return findRecord<WeightToolInstance>(item); }

void createInstance(HostHandle item) {
    WeightToolInstance* tool =
        static_cast<WeightToolInstance*>(calloc(1, sizeof(WeightToolInstance)));
    if (tool == nullptr) return;
    resetWeightTool(tool);
    setDefaultToggles(tool, true);
    fxObjectSetTypeData(item, tool, 0);

    double* fields[TENSION_CHANNEL_COUNT];
    tensionChannelFields(tool, fields);
    setupTensionChannels(item, fields);
}

void destroyInstance(HostHandle item) {
    WeightToolInstance* tool = findInstance(item);
    if (tool == nullptr) return;
    releaseRestState(&tool->rest);
    free(tool);
    fxObjectSetTypeData(item, nullptr, 0);
}
