#include "settings.h"

#include "host_api.h"
#include "instance.h"

void saveSettings(void* data, HostHandle item) {
    MorpherInstance* record = findInstance(item);
    if (record == nullptr) return;
    FormatBlock block = fxFormatNew(data, "LagData", 0);
    fxArgSaveObj(block, "weight", record->weightMap, 0);
    fxArgSaveObj(block, "stretch", record->stretchObject, 0);
    fxArgSaveObj(block, "squash", record->squashObject, 0);
    fxArgSaveInt(block, "scan", record->scanFlag, 0);
    fxArgSaveDouble(block, "lag", record->exponent, 0);
    fxArgSaveDouble(block, "multiplier1", record->preMultiplier, 0);
    fxArgSaveDouble(block, "multiplier2", record->postMultiplier, 0);
}

void loadSettings(void* data, HostHandle item) {
    MorpherInstance* record = findInstance(item);
    if (record == nullptr) return;
    // A block without "lag" leaves the exponent at the reset value, 0.0.
    resetInstance(record);
    FormatBlock block = fxFormatGet(data, "LagData");
    fxArgLoadObj(block, "weight", &record->weightMap);
    fxArgLoadObj(block, "stretch", &record->stretchObject);
    fxArgLoadObj(block, "squash", &record->squashObject);
    fxArgLoadInt(block, "scan", &record->scanFlag);
    fxArgLoadDouble(block, "lag", &record->exponent);
    fxArgLoadDouble(block, "multiplier1", &record->preMultiplier);
    fxArgLoadDouble(block, "multiplier2", &record->postMultiplier);
    record->captured = 0;
}
