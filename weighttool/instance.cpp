#include "instance.h"

#include <stdlib.h>

#include "host_api.h"
#include "rest_state.h"
#include "tension_channels.h"

void resetWeightTool(WeightToolInstance* tool) {
    tool->exponent = 0.0;
    tool->captured = 0;
    tool->clampValues = 1;
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

    double* const fields[TENSION_CHANNEL_COUNT] = {
        &tool->exponent,          &tool->preMultiplier,    &tool->postMultiplier,
        &tool->stretchMultiplier, &tool->squashMultiplier,
    };
    setupTensionChannels(item, fields);
}

void destroyWeightTool(HostHandle item) {
    WeightToolInstance* tool = findWeightTool(item);
    if (tool == nullptr) return;
    releaseRestState(&tool->rest);
    free(tool);
    fxObjectSetTypeData(item, nullptr, 0);
}
