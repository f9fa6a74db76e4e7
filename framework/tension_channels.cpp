#include "tension_channels.h"

#include "channel_setup.h"
#include "host_api.h"

namespace {

const char* const channelNames[TENSION_CHANNEL_COUNT] = {
#define TENSION_CHANNEL(field, name, ...) name,
#include "tension_channels.def"
};

const double channelDefaults[TENSION_CHANNEL_COUNT] = {
#define TENSION_CHANNEL(field, name, weightToolLabel, effectLabel, savedKey, value, ...) value,
#include "tension_channels.def"
};

// Keys of the plug-ins' saved blocks; null for a channel the block leaves out.
const char* const savedKeys[TENSION_CHANNEL_COUNT] = {
#define TENSION_CHANNEL(field, name, weightToolLabel, effectLabel, savedKey, ...) savedKey,
#include "tension_channels.def"
};

}  // namespace

void setupTensionChannels(HostHandle item, double* const fields[TENSION_CHANNEL_COUNT]) {
    setupChannels(item, 0, TENSION_CHANNEL_COUNT, channelNames, channelDefaults, fields);
}

void saveTensionChannels(FormatBlock block, double* const fields[TENSION_CHANNEL_COUNT]) {
    for (int32_t i = 0; i < TENSION_CHANNEL_COUNT; ++i) {
        if (savedKeys[i] != nullptr) fxArgSaveDouble(block, savedKeys[i], *fields[i], 0);
    }
}

void loadTensionChannels(FormatBlock block, double* const fields[TENSION_CHANNEL_COUNT]) {
    for (int32_t i = 0; i < TENSION_CHANNEL_COUNT; ++i) {
        if (savedKeys[i] != nullptr) fxArgLoadDouble(block, savedKeys[i], fields[i]);
    }
}

void buildChannelControls(const char* const labels[TENSION_CHANNEL_COUNT]) {
    buildChannelControlRange(0, TENSION_CHANNEL_COUNT, labels);
}
