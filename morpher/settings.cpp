#include "settings.h"

#include "host_api.h"
#include "instance.h"
#include "tension_channels.h"

namespace {

// The saved block's name. Stored scenes find their settings under it, so it
// stays as it is, although nothing in the effect lags.
const char* const SAVED_BLOCK = "LagData";

// The chosen objects the block carries, written and read in this order, then
// the scan flag, then the channel values.
struct SavedObject {
    const char* key;
    HostHandle MorpherInstance::*field;
};
const SavedObject savedObjects[] = {
    {"weight", &MorpherInstance::weightMap},
    {"stretch", &MorpherInstance::stretchObject},
    {"squash", &MorpherInstance::squashObject},
};
const char* const SCAN_KEY = "scan";

}  // namespace

void saveSettings(void* data, HostHandle item) {
    MorpherInstance* record = findInstance(item);
    if (record == nullptr) return;
    FormatBlock block = fxFormatNew(data, SAVED_BLOCK, 0);
    for (const SavedObject& object : savedObjects) {
        fxArgSaveObj(block, object.key, record->*object.field, 0);
    }
    fxArgSaveInt(block, SCAN_KEY, record->scanFlag, 0);
    double* fields[TENSION_CHANNEL_COUNT];
    tensionChannelFields(record, fields);
    saveTensionChannels(block, fields);
}

void loadSettings(void* data, HostHandle item) {
    MorpherInstance* record = findInstance(item);
    if (record == nullptr) return;
    // A block without "lag" leaves the exponent at the reset value, 0.0.
    resetInstance(record);
    FormatBlock block = fxFormatGet(data, SAVED_BLOCK);
    for (const SavedObject& object : savedObjects) {
        fxArgLoadObj(block, object.key, &(record->*object.field));
    }
    fxArgLoadInt(block, SCAN_KEY, &record->scanFlag);
    double* fields[TENSION_CHANNEL_COUNT];
    tensionChannelFields(record, fields);
    loadTensionChannels(block, fields);
    record->captured = 0;
}
