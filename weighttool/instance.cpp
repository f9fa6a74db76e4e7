#include "instance.h"

#include <stdlib.h>

#include "host_api.h"
#include "rest_state.h"

void resetWeightTool(WeightToolInstance* tool) {
    tool->exponent = 0.0;
    tool->captured = 0;
    tool->clampValues = 1;
}

void weightToolChannelFields(WeightToolInstance* tool, double* r_fields[TENSION_CHANNEL_COUNT]) {
    r_fields[0] = &tool->exponent;
    r_fields[1] = &tool->preMultiplier;
    r_fields[2] = &tool->postMultiplier;
    r_fields[3] = &tool->stretchMultiplier;
    r_fields[4] = &tool->squashMultiplier;
}

WeightToolInstance* findWeightTool(HostHandle item) {
    return static_cast<WeightToolInstance*>(fxObjectGetTypeData(item, 0));
}

void createWeightTool(HostHandle item) {
    WeightToolInstance* tool =
        static_cast<WeightToolInstance*>(calloc(1, sizeof(WeightToolInstance)));
    if (tool == nullptr) return;
    resetWeightTool(tool);
    fxObjectSetTypeData(item, tool, 0);

    double* fields[TENSION_CHANNEL_COUNT];
    weightToolChannelFields(tool, fields);
    setupTensionChannels(item, fields);
}

void destroyWeightTool(HostHandle item) {
    WeightToolInstance* tool = findWeightTool(item);
    if (tool == nullptr) return;
    releaseRestState(&tool->rest);
    free(tool);
    fxObjectSetTypeData(item, nullptr, 0);
}
