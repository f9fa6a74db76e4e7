#include "instance.h"

#include <stdlib.h>

#include "channel_setup.h"
#include "host_api.h"
#include "weight_tool_record.h"

namespace {

const char* const axisNames[AXIS_CHANNEL_COUNT] = {
#define AXIS_CHANNEL(field, name, ...) name,
#include "axis_channels.def"
};
const double axisDefaults[AXIS_CHANNEL_COUNT] = {
#define AXIS_CHANNEL(field, name, value, ...) value,
#include "axis_channels.def"
};

}  // namespace

void resetGrainmark(GrainInstance* grain) {
    grain->exponent = 0.0;
    grain->captured = 0;
    setDefaultToggles(grain, false);
}

GrainInstance* findInstance(HostHandle item) { return findRecord<GrainInstance>(item); }

void createInstance(HostHandle item) {
    GrainInstance* grain = static_cast<GrainInstance*>(calloc(1, sizeof(GrainInstance)));
    if (grain == nullptr) return;
    resetGrainmark(grain);
    setDefaultToggles(grain, true);
    grain->measure = 0;
    fxObjectSetTypeData(item, grain, 0);

    double* fields[TENSION_CHANNEL_COUNT];
    tensionChannelFields(grain, fields);
    setupTensionChannels(item, fields);
    double* const axisFields[AXIS_CHANNEL_COUNT] = {
#define AXIS_CHANNEL(field, ...) &grain->field,
#include "axis_channels.def"
    };
    setupChannels(item, FIRST_AXIS_CHANNEL, AXIS_CHANNEL_COUNT, axisNames, axisDefaults, axisFields);
}

void destroyInstance(HostHandle item) {
    GrainInstance* grain = findInstance(item);
    if (grain == nullptr) return;
    releaseGrainRest(&grain->rest);
    free(grain);
    fxObjectSetTypeData(item, nullptr, 0);
}
