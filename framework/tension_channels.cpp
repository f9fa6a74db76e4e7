#include "tension_channels.h"

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

// The channel type and the link kind the host knows these channels by.
const int32_t CHANNEL_TYPE = 4;
const int32_t LINK_KIND = 2;

// Where the first channel control of a panel goes.
const int32_t FIRST_CONTROL_X = 75;
const int32_t FIRST_CONTROL_Y = 4;

}  // namespace

void setupTensionChannels(HostHandle item, double* const fields[TENSION_CHANNEL_COUNT]) {
    for (int32_t i = 0; i < TENSION_CHANNEL_COUNT; ++i) *fields[i] = channelDefaults[i];
    for (int32_t i = 0; i < TENSION_CHANNEL_COUNT; ++i) {
        fxChannelSetup(item, channelNames[i], i, CHANNEL_TYPE, *fields[i], 0.0, 0.0, 0);
    }
    for (int32_t i = 0; i < TENSION_CHANNEL_COUNT; ++i) {
        fxChannelDataLink(item, i, LINK_KIND, fields[i], 0);
    }
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
    for (int32_t i = 0; i < TENSION_CHANNEL_COUNT; ++i) {
        const HostHandle control = fxCC_ChannelFloat(labels[i], nullptr, 0, i, 0);
        if (i == 0) fxConSetPos(control, FIRST_CONTROL_X, FIRST_CONTROL_Y);
    }
}
