#include "tension_channels.h"

#include "host_api.h"

namespace {

const char* const channelNames[TENSION_CHANNEL_COUNT] = {
    "Exponent", "Pre Multiplier", "Post Multiplier", "Stretch Multi", "Squash Multi",
};

// The channel type and the link kind the host knows these channels by.
const int32_t CHANNEL_TYPE = 4;
const int32_t LINK_KIND = 2;

}  // namespace

void setupTensionChannels(HostHandle item, double* const fields[TENSION_CHANNEL_COUNT]) {
    *fields[0] = 0.2;
    for (int32_t i = 1; i < TENSION_CHANNEL_COUNT; ++i) *fields[i] = 0.5;
    for (int32_t i = 0; i < TENSION_CHANNEL_COUNT; ++i) {
        fxChannelSetup(item, channelNames[i], i, CHANNEL_TYPE, *fields[i], 0.0, 0.0, 0);
    }
    for (int32_t i = 0; i < TENSION_CHANNEL_COUNT; ++i) {
        fxChannelDataLink(item, i, LINK_KIND, fields[i], 0);
    }
}
