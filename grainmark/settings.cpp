#include "settings.h"

#include "host_api.h"
#include "instance.h"
#include "tension_channels.h"
#include "weight_tool_record.h"

namespace {

// Grainmark's own block: a scene holding both tools keeps their settings
// apart, and neither reads the other's.
const char* const SAVED_BLOCK = "GrainData";
const char* const MEASURE_KEY = "measure";

}  // namespace

void saveSettings(void* data, HostHandle item) {
    GrainInstance* grain = findInstance(item);
    if (grain == nullptr) return;
    FormatBlock block = fxFormatNew(data, SAVED_BLOCK, 0);
    saveWeightToggles(block, grain);
    fxArgSaveInt(block, MEASURE_KEY, grain->measure, 0);
    double* fields[TENSION_CHANNEL_COUNT];
    tensionChannelFields(grain, fields);
    saveTensionChannels(block, fields);
}

void loadSettings(void* data, HostHandle item) {
    GrainInstance* grain = findInstance(item);
    if (grain == nullptr) return;
    resetGrainmark(grain);
    FormatBlock block = fxFormatGet(data, SAVED_BLOCK);
    loadWeightToggles(block, grain);
    // A damaged or foreign block's measure that names none keeps the one
    // chosen: the tool never ends up measuring nothing.
    int32_t measure = grain->measure;
    fxArgLoadInt(block, MEASURE_KEY, &measure);
    if (measure >= 0 && measure < GRAIN_MEASURE_COUNT) grain->measure = measure;
    double* fields[TENSION_CHANNEL_COUNT];
    tensionChannelFields(grain, fields);
    loadTensionChannels(block, fields);
    grain->captured = 0;
}
