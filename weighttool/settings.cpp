#include "settings.h"

#include "host_api.h"
#include "instance.h"
#include "tension_channels.h"

namespace {

// The saved block's name. Stored scenes find their settings under it, so it
// stays as it is, although nothing in Strainmark lags.
const char* const SAVED_BLOCK = "LagData";

// The toggles the block carries, written and read in this order before the
// channel values.
struct SavedToggle {
    const char* key;
    int32_t WeightToolInstance::*field;
};
const SavedToggle savedToggles[] = {
    {"positive", &WeightToolInstance::onlyPositive},
    {"switch_mode", &WeightToolInstance::switchMode},
    {"clamp_values", &WeightToolInstance::clampValues},
};

}  // namespace

void saveWeightTool(void* data, HostHandle item) {
    WeightToolInstance* tool = findWeightTool(item);
    if (tool == nullptr) return;
    FormatBlock block = fxFormatNew(data, SAVED_BLOCK, 0);
    for (const SavedToggle& toggle : savedToggles) {
        fxArgSaveInt(block, toggle.key, tool->*toggle.field, 0);
    }
    double* fields[TENSION_CHANNEL_COUNT];
    weightToolChannelFields(tool, fields);
    saveTensionChannels(block, fields);
}

void loadWeightTool(void* data, HostHandle item) {
    WeightToolInstance* tool = findWeightTool(item);
    if (tool == nullptr) return;
    resetWeightTool(tool);
    FormatBlock block = fxFormatGet(data, SAVED_BLOCK);
    for (const SavedToggle& toggle : savedToggles) {
        fxArgLoadInt(block, toggle.key, &(tool->*toggle.field));
    }
    double* fields[TENSION_CHANNEL_COUNT];
    weightToolChannelFields(tool, fields);
    loadTensionChannels(block, fields);
    tool->captured = 0;
}
