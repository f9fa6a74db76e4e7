#include "instance.h"

#include <stdlib.h>

#include "host_api.h"

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

    double* fields[TENSION_CHANNEL_COUNT];
    tensionChannelFields(record, fields);
    setupTensionChannels(item, fields);
}

void releaseCapture(MorpherInstance* record) {
    releaseRestState(&record->rest);
    free(record->squashDeltas);
    free(record->stretchDeltas);
    free(record->tensions);
    record->squashDeltas = nullptr;
    record->stretchDeltas = nullptr;
    record->tensions = nullptr;
    record->tangentSpace = nullptr;
    record->captured = 0;
}

void destroyInstance(HostHandle item) {
    MorpherInstance* record = findInstance(item);
    if (record == nullptr) return;
    releaseCapture(record);
    free(record);
    fxObjectSetTypeData(item, nullptr, 0);
}
