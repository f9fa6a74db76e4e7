#include "settings.h"

#include "host_api.h"
#include "instance.h"
#include "tension_channels.h"
#include "weight_toggles.h"

namespace {

// The saved block's name. Stored scenes find their settings under it, so it
// stays as it is, although nothing in Strainmark lags.
const char* const SAVED_BLOCK = "LagData";

struct SavedToggle {
    const char* key;
    int32_t position;
    int32_t WeightToolInstance::*field;
};
const SavedToggle savedToggles[] = {
#define WEIGHT_TOGGLE(field, callback, label, savedKey, savedPosition, ...) \
    {savedKey, savedPosition, &WeightToolInstance::field},
#include "weight_toggles.def"
};

// The toggle the block carries at position (1 to WEIGHT_TOGGLE_COUNT, each
// taken once, as weight_toggles.h checks).
const SavedToggle& savedToggleAt(int32_t position) {
    for (const SavedToggle& toggle : savedToggles) {
        if (toggle.position == position) return toggle;
    }
    return savedToggles[0];
}

}  // namespace

void saveSettings(void* data, HostHandle item) {
    WeightToolInstance* tool = findInstance(item);
    if (tool == nullptr) return;
    FormatBlock block = fxFormatNew(data, SAVED_BLOCK, 0);
    for (int32_t position = 1; position <= WEIGHT_TOGGLE_COUNT; ++position) {
        const SavedToggle& toggle = savedToggleAt(position);
        fxArgSaveInt(block, toggle.key, tool->*toggle.field, 0);
    }
    double* fields[TENSION_CHANNEL_COUNT];
    tensionChannelFields(tool, fields);
    saveTensionChannels(block, fields);
}

void loadSettings(void* data, HostHandle item) {
    WeightToolInstance* tool = findInstance(item);
    if (tool == nullptr) return;
    resetWeightTool(tool);
    FormatBlock block = fxFormatGet(data, SAVED_BLOCK);
    for (int32_t position = 1; position <= WEIGHT_TOGGLE_COUNT; ++position) {
        const SavedToggle& toggle = savedToggleAt(position);
        fxArgLoadInt(block, toggle.key, &(tool->*toggle.field));
    }
    double* fields[TENSION_CHANNEL_COUNT];
    tensionChannelFields(tool, fields);
    loadTensionChannels(block, fields);
    tool->captured = 0;
}
