#include "channel_setup.h"

#include "host_api.h"

namespace {

// The channel type and the link kind the host knows these channels by.
const int32_t CHANNEL_TYPE = 4;
const int32_t LINK_KIND = 2;

// Where the first channel control of a panel goes.
const int32_t FIRST_CONTROL_X = 75;
const int32_t FIRST_CONTROL_Y = 4;

}  // namespace

void setupChannels(HostHandle item, int32_t first, int32_t count, const char* const names[],
                   const double defaults[], double* const fields[]) {
    for (int32_t i = 0; i < count; ++i) *fields[i] = defaults[i];
    for (int32_t i = 0; i < count; ++i) {
        fxChannelSetup(item, names[i], first + i, CHANNEL_TYPE, *fields[i], 0.0, 0.0, 0);
    }
    for (int32_t i = 0; i < count; ++i) fxChannelDataLink(item, first + i, LINK_KIND, fields[i], 0);
}

void buildChannelControlRange(int32_t first, int32_t count, const char* const labels[]) {
    for (int32_t i = 0; i < count; ++i) {
        const HostHandle control = fxCC_ChannelFloat(labels[i], nullptr, 0, first + i, 0);
        if (first + i == 0) fxConSetPos(control, FIRST_CONTROL_X, FIRST_CONTROL_Y);
    }
}
