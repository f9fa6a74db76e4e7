#include "instance.h"

#include <stdlib.h>

#include "host_api.h"

namespace {

// Channel names by index; the index order is the creation order.
const char* const channelNames[] = {
    "Exponent", "Pre Multiplier", "Post Multiplier", "Stretch Multi", "Squash Multi",
};

enum : int32_t { CHANNEL_COUNT = 5, CHANNEL_TYPE = 4, CHANNEL_LINK_KIND = 2 };

}  // namespace

MorpherInstance* findInstance(HostHandle item) {
    return static_cast<MorpherInstance*>(fxObjectGetTypeData(item, 0));
}

void resetInstance(MorpherInstance* record) {
    record->exponent = 0.0;
    record->captured = 0;
}

void createInstance(HostHandle item) {
    MorpherInstance* record = static_cast<MorpherInstance*>(calloc(1, sizeof(MorpherInstance)));
    if (record == nullptr) return;
    resetInstance(record);
    fxObjectSetTypeData(item, record, 0);

    record->exponent = 0.2;
    record->preMultiplier = 0.5;
    record->postMultiplier = 0.5;
    record->stretchMultiplier = 0.5;
    record->squashMultiplier = 0.5;

    // The host keeps each bound field equal to its channel from now on.
    double* const fields[CHANNEL_COUNT] = {
        &record->exponent,          &record->preMultiplier,    &record->postMultiplier,
        &record->stretchMultiplier, &record->squashMultiplier,
    };
    for (int32_t i = 0; i < CHANNEL_COUNT; ++i) {
        fxChannelSetup(item, channelNames[i], i, CHANNEL_TYPE, *fields[i], 0.0, 0.0, 0);
    }
    for (int32_t i = 0; i < CHANNEL_COUNT; ++i) {
        fxChannelDataLink(item, i, CHANNEL_LINK_KIND, fields[i], 0);
    }
}

void releaseNeighbourLists(MorpherInstance* record) {
    if (record->neighbourLists == nullptr) return;
    for (int32_t i = 0; i < record->pointCount; ++i) free(record->neighbourLists[i]);
    free(record->neighbourLists);
    record->neighbourLists = nullptr;
}

void destroyInstance(HostHandle item) {
    MorpherInstance* record = findInstance(item);
    if (record == nullptr) return;
    releaseNeighbourLists(record);
    free(record->neighbourCounts);
    free(record->restLengths);
    free(record->squashDeltas);
    free(record->stretchDeltas);
    free(record->tensions);
    free(record);
    fxObjectSetTypeData(item, nullptr, 0);
}
