#include "panel.h"

#include <stddef.h>

#include "host_api.h"
#include "instance.h"
#include "messages.h"

HostHandle weightToolBlock = 0;

namespace {

// What fxInterfaceUpdate is asked to refresh after a toggle changed.
const int32_t UPDATE_ALL = 63;

// Copies between a toggle control and the int32 field at offset in the
// item's record.
int32_t syncToggle(HostHandle control, HostHandle item, uint64_t event, size_t offset) {
    WeightToolInstance* tool = findWeightTool(item);
    if (tool == nullptr) return 0;
    int32_t* field = reinterpret_cast<int32_t*>(reinterpret_cast<char*>(tool) + offset);
    if (event == CONTROL_CHANGED) {
        fxConGetInt(control, field);
        fxInterfaceUpdate(UPDATE_ALL, 0);
    } else if (event == CONTROL_REFRESH) {
        fxConSetInt(control, *field);
    }
    return 0;
}

}  // namespace

int32_t onClampControl(HostHandle control, HostHandle item, void* unused, uint64_t event) {
    (void)unused;
    return syncToggle(control, item, event, offsetof(WeightToolInstance, clampValues));
}

int32_t onOnlyPositiveControl(HostHandle control, HostHandle item, void* unused, uint64_t event) {
    (void)unused;
    return syncToggle(control, item, event, offsetof(WeightToolInstance, onlyPositive));
}

int32_t onSwitchControl(HostHandle control, HostHandle item, void* unused, uint64_t event) {
    (void)unused;
    return syncToggle(control, item, event, offsetof(WeightToolInstance, switchMode));
}

namespace {

// The check boxes' labels, and their callbacks in the same order.
const char* const toggleLabels[] = {
#define WEIGHT_TOGGLE(label, value, option, help) label,
#include "weight_toggles.def"
};
const ControlCallback toggleCallbacks[] = {onClampControl, onOnlyPositiveControl, onSwitchControl};
static_assert(sizeof toggleLabels / sizeof toggleLabels[0] == sizeof toggleCallbacks / sizeof toggleCallbacks[0],
              "one callback per check box");

}  // namespace

void buildWeightToolPanel(void) {
    weightToolBlock = fxCC_Block("Strainmark", 0, 0, 0);
    HostHandle exponent = fxCC_ChannelFloat("Exponent", nullptr, 0, 0, 0);
    fxConSetPos(exponent, 75, 4);
    fxCC_ChannelFloat("Pre Multi", nullptr, 0, 1, 0);
    fxCC_ChannelFloat("Post Multi", nullptr, 0, 2, 0);
    fxCC_ChannelFloat("Stretch Multi", nullptr, 0, 3, 0);
    fxCC_ChannelFloat("Squash Multi", nullptr, 0, 4, 0);
    for (size_t i = 0; i < sizeof toggleLabels / sizeof toggleLabels[0]; ++i) {
        fxCC_Bool(toggleLabels[i], toggleCallbacks[i], 1, 0);
    }
    fxInterfaceBlockSet("Animate", nullptr, nullptr, weightToolBlock, 0);
    fxInterfaceBlockSet("Animate", "Animate", "Spline", 0, 0);
    fxInterfaceBlockSet("Animate", "Animate", "WeightDraw", 0, 0);
    fxInterfaceBlockSet("Setup", nullptr, nullptr, weightToolBlock, 0);
    fxInterfaceBlockSet("Setup", "Setup", "WeightDraw", 0, 0);
}
