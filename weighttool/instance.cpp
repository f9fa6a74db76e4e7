#include "instance.h"

#include <stddef.h>
#include <stdlib.h>

#include "host_api.h"

namespace {

// Channels in index order, with the record field each is linked to.
struct ChannelField {
    const char* name;
    size_t offset;
};

const ChannelField channelFields[] = {
    {"Exponent", offsetof(WeightToolInstance, exponent)},
    {"Pre Multiplier", offsetof(WeightToolInstance, preMultiplier)},
    {"Post Multiplier", offsetof(WeightToolInstance, postMultiplier)},
    {"Stretch Multi", offsetof(WeightToolInstance, stretchMultiplier)},
    {"Squash Multi", offsetof(WeightToolInstance, squashMultiplier)},
};
const int32_t CHANNEL_COUNT = sizeof channelFields / sizeof channelFields[0];

// Channel type and link kind the host knows these channels by.
const int32_t CHANNEL_TYPE = 4;
const int32_t LINK_KIND = 2;

double* channelField(WeightToolInstance* tool, int32_t index) {
    return reinterpret_cast<double*>(reinterpret_cast<char*>(tool) + channelFields[index].offset);
}

}  // namespace

void resetWeightTool(WeightToolInstance* tool) {
    tool->exponent = 0.0;
    tool->captured = 0;
    tool->clampValues = 1;
}

void freeRestState(WeightToolInstance* tool) {
    if (tool->neighbourLists != nullptr) {
        for (int32_t i = 0; i < tool->pointCount; ++i) free(tool->neighbourLists[i]);
        free(tool->neighbourLists);
    }
    free(tool->neighbourCounts);
    free(tool->restLengths);
    tool->neighbourLists = nullptr;
    tool->neighbourCounts = nullptr;
    tool->restLengths = nullptr;
    tool->pointCount = 0;
}

WeightToolInstance* findWeightTool(HostHandle item) {
    return static_cast<WeightToolInstance*>(fxObjectGetTypeData(item, 0));
}

void createWeightTool(HostHandle item) {
    WeightToolInstance* tool =
        static_cast<WeightToolInstance*>(calloc(1, sizeof(WeightToolInstance)));
    if (tool == nullptr) return;
    resetWeightTool(tool);
    fxObjectSetTypeData(item, tool, 0);

    tool->exponent = 0.2;
    tool->preMultiplier = 0.5;
    tool->postMultiplier = 0.5;
    tool->stretchMultiplier = 0.5;
    tool->squashMultiplier = 0.5;

    for (int32_t index = 0; index < CHANNEL_COUNT; ++index) {
        fxChannelSetup(item, channelFields[index].name, index, CHANNEL_TYPE,
                       *channelField(tool, index), 0.0, 0.0, 0);
    }
    for (int32_t index = 0; index < CHANNEL_COUNT; ++index) {
        fxChannelDataLink(item, index, LINK_KIND, channelField(tool, index), 0);
    }
}

void destroyWeightTool(HostHandle item) {
    WeightToolInstance* tool = findWeightTool(item);
    if (tool == nullptr) return;
    freeRestState(tool);
    free(tool);
    fxObjectSetTypeData(item, nullptr, 0);
}
