#include "instance.h"

#include <stdlib.h>

#include "host_api.h"
#include "rest_state.h"

namespace {

struct ToggleDefault {
    int32_t WeightToolInstance::*field;
    int32_t value;
};
const ToggleDefault toggleDefaults[] = {
#define WEIGHT_TOGGLE(field, callback, label, savedKey, savedPosition, value, ...) \
    {&WeightToolInstance::field, value},
#include "weight_toggles.def"
};

}  // namespace

void resetWeightTool(WeightToolInstance* tool) {
    tool->exponent = 0.0;
    tool->captured = 0;
    for (const ToggleDefault& toggle : toggleDefaults) {
        if (toggle.value == 1) tool->*toggle.field = 1;
    }
}

WeightToolInstance* findInstance(HostHandle item) {
    return static_cast<WeightToolInstance*>(fxObjectGetTypeData(item, 0));
}

void createInstance(HostHandle item) {
    WeightToolInstance* tool =
        static_cast<WeightToolInstance*>(calloc(1, sizeof(WeightToolInstance)));
    if (tool == nullptr) return;
    resetWeightTool(tool);
    for (const ToggleDefault& toggle : toggleDefaults) tool->*toggle.field = toggle.value;
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
