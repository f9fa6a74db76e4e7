#include "panel.h"

#include "host_api.h"
#include "instance.h"
#include "messages.h"

HostHandle weightToolBlock = 0;

namespace {

// What fxInterfaceUpdate is asked to refresh after a toggle changed.
const int32_t UPDATE_ALL = 63;

const char* const channelLabels[TENSION_CHANNEL_COUNT] = {
#define TENSION_CHANNEL(field, name, weightToolLabel, ...) weightToolLabel,
#include "tension_channels.def"
};

// Copies between a toggle control and the int32 field of the item's record.
int32_t syncToggle(HostHandle control, HostHandle item, uint64_t event,
                   int32_t WeightToolInstance::*field) {
    WeightToolInstance* tool = findInstance(item);
    if (tool == nullptr) return 0;
    if (event == CONTROL_CHANGED) {
        fxConGetInt(control, &(tool->*field));
        fxInterfaceUpdate(UPDATE_ALL, 0);
    } else if (event == CONTROL_REFRESH) {
        fxConSetInt(control, tool->*field);
    }
    return 0;
}

}  // namespace

// Each box's callback comes from its own line of the list, with its field.
#define WEIGHT_TOGGLE(field, callback, ...)                                       \
    int32_t callback(HostHandle control, HostHandle item, void* unused, uint64_t event) { \
        (void)unused;                                                             \
        return syncToggle(control, item, event, &WeightToolInstance::field);      \
    }
#include "weight_toggles.def"

namespace {

struct ToggleControl {
    const char* label;
    ControlCallback callback;
};
const ToggleControl toggleControls[] = {
#define WEIGHT_TOGGLE(field, callback, label, ...) {label, callback},
#include "weight_toggles.def"
};

}  // namespace

void buildPanel(void) {
    weightToolBlock = fxCC_Block("Strainmark", 0, 0, 0);
    buildChannelControls(channelLabels);
    for (const ToggleControl& toggle : toggleControls) {
        fxCC_Bool(toggle.label, toggle.callback, 1, 0);
    }
    fxInterfaceBlockSet("Animate", nullptr, nullptr, weightToolBlock, 0);
    fxInterfaceBlockSet("Animate", "Animate", "Spline", 0, 0);
    fxInterfaceBlockSet("Animate", "Animate", "WeightDraw", 0, 0);
    fxInterfaceBlockSet("Setup", nullptr, nullptr, weightToolBlock, 0);
    fxInterfaceBlockSet("Setup", "Setup", "WeightDraw", 0, 0);
}
