#include "settings.h"

#include "host_api.h"
#include "instance.h"
#include "tension_channels.h"
#include "weight_tool_record.h"

namespace {

// The saved block's name. Stored scenes find their settings under it, so it
// stays as it is, although nothing in Strainmark lags.
const char* const SAVED_BLOCK = "LagData";

}  // namespace

void saveSettings(void* data, HostHandle item) {
    WeightToolInstance* tool = findInstance(item);
    if (tool == nullptr) return;
    FormatBlock block = fxFormatNew(data, SAVED_BLOCK, 0);
    saveWeightToggles(block, tool);
    double* fields[TENSION_CHANNEL_COUNT];
    tensionChannelFields(tool, fields);
    saveTensionChannels(block, fields);
}

void loadSettings(void* data, HostHandle item) {
    WeightToolInstance* tool = findInstance(item);
    if (tool == nullptr) return;
    resetWeightTool(tool);
    FormatBlock block = fxFormatGet(data, SAVED_BLOCK);
    loadWeightToggles(block, tool);
    double* fields[TENSION_CHANNEL_COUNT];
    tensionChannelFields(tool, fields);
    loadTensionChannels(block, fields);
    tool->captured = 0;
}
