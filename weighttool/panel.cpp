#include "panel.h"

#include "host_api.h"
#include "instance.h"
#include "messages.h"
#include "weight_tool_record.h"

HostHandle weightToolBlock = 0;

namespace {

const char* const channelLabels[TENSION_CHANNEL_COUNT] = {
#define TENSION_CHANNEL(field, name, weightToolLabel, ...) weightToolLabel,
#include "tension_channels.def"
};

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
    placeWeightToolBlock(weightToolBlock);
}
