#include "panel.h"

#include "channel_setup.h"
#include "host_api.h"
#include "instance.h"
#include "messages.h"
#include "weight_tool_record.h"

namespace {

const char* const tensionLabels[TENSION_CHANNEL_COUNT] = {
#define TENSION_CHANNEL(field, name, weightToolLabel, ...) weightToolLabel,
#include "tension_channels.def"
};
const char* const axisLabels[AXIS_CHANNEL_COUNT] = {
#define AXIS_CHANNEL(field, name, ...) name,
#include "axis_channels.def"
};

int32_t syncMeasure(HostHandle control, HostHandle item, uint64_t event, int32_t measure) {
    GrainInstance* grain = findInstance(item);
    if (grain == nullptr) return 0;
    if (event == CONTROL_CHANGED) {
        int32_t ticked = 0;
        fxConGetInt(control, &ticked);
        if (ticked == 1) grain->measure = measure;
        fxInterfaceUpdate(UPDATE_ALL, 0);
    } else if (event == CONTROL_REFRESH) {
        fxConSetInt(control, grain->measure == measure ? 1 : 0);
    }
    return 0;
}

}  // namespace

#define WEIGHT_TOGGLE(field, callback, ...)                                                \
    int32_t callback(HostHandle control, HostHandle item, void* unused, uint64_t event) { \
        (void)unused;                                                                      \
        return syncToggle(control, item, event, &GrainInstance::field);                    \
    }
#include "weight_toggles.def"

#define GRAIN_MEASURE(id, callback, ...)                                                   \
    int32_t callback(HostHandle control, HostHandle item, void* unused, uint64_t event) { \
        (void)unused;                                                                      \
        return syncMeasure(control, item, event, id);                                      \
    }
#include "grain_measures.def"

namespace {

struct CheckBox {
    const char* label;
    ControlCallback callback;
};
const CheckBox checkBoxes[] = {
#define WEIGHT_TOGGLE(field, callback, label, ...) {label, callback},
#include "weight_toggles.def"
#define GRAIN_MEASURE(id, callback, label, ...) {label, callback},
#include "grain_measures.def"
};

}  // namespace

void buildPanel(void) {
    const HostHandle block = fxCC_Block("Grainmark", 0, 0, 0);
    buildChannelControls(tensionLabels);
    buildChannelControlRange(FIRST_AXIS_CHANNEL, AXIS_CHANNEL_COUNT, axisLabels);
    for (const CheckBox& box : checkBoxes) fxCC_Bool(box.label, box.callback, 1, 0);
    placeWeightToolBlock(block);
}
