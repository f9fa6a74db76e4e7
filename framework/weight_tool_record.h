// What every weight tool does the same way with its record's check boxes
// (weight_toggles.def): their defaults, their controls' callbacks, their
// place in the saved block, and where the tool's panel goes. Record is a
// weight tool's record with the list's int32 fields, attached to its item
// as the item's type data.
#ifndef KESTRIN_WEIGHT_TOOL_RECORD_H
#define KESTRIN_WEIGHT_TOOL_RECORD_H

#include <stdint.h>

#include "host_api.h"
#include "kestrin_types.h"
#include "messages.h"
#include "weight_toggles.h"

// What fxInterfaceUpdate is asked to refresh after a check box changed.
const int32_t UPDATE_ALL = 63;

// The item's record, or null.
template <typename Record>
Record* findRecord(HostHandle item) {
    return static_cast<Record*>(fxObjectGetTypeData(item, 0));
}

// Ticks the boxes ticked by default; with all, also clears the others (a
// new record), without, leaves them (a load, which the block then fills).
template <typename Record>
void setDefaultToggles(Record* record, bool all) {
#define WEIGHT_TOGGLE(field, callback, label, savedKey, savedPosition, value, ...) \
    if (all || (value) == 1) record->field = (value);
#include "weight_toggles.def"
}

// A check box's callback: CONTROL_CHANGED copies the control into the field
// of the item's record and refreshes the interface, CONTROL_REFRESH shows
// the field; any other event, or an item without a record, does nothing.
template <typename Record>
int32_t syncToggle(HostHandle control, HostHandle item, uint64_t event, int32_t Record::*field) {
    Record* record = findRecord<Record>(item);
    if (record == nullptr) return 0;
    if (event == CONTROL_CHANGED) {
        fxConGetInt(control, &(record->*field));
        fxInterfaceUpdate(UPDATE_ALL, 0);
    } else if (event == CONTROL_REFRESH) {
        fxConSetInt(control, record->*field);
    }
    return 0;
}

// Writes or reads the check boxes in their saved positions (1 first); a key
// the block lacks leaves its field as it was.
template <typename Record>
void saveWeightToggles(FormatBlock block, const Record* record) {
    for (int32_t position = 1; position <= WEIGHT_TOGGLE_COUNT; ++position) {
#define WEIGHT_TOGGLE(field, callback, label, savedKey, savedPosition, ...) \
    if ((savedPosition) == position) fxArgSaveInt(block, savedKey, record->field, 0);
#include "weight_toggles.def"
    }
}

template <typename Record>
void loadWeightToggles(FormatBlock block, Record* record) {
    for (int32_t position = 1; position <= WEIGHT_TOGGLE_COUNT; ++position) {
#define WEIGHT_TOGGLE(field, callback, label, savedKey, savedPosition, ...) \
    if ((savedPosition) == position) fxArgLoadInt(block, savedKey, &record->field);
#include "weight_toggles.def"
    }
}

// Shows a weight tool's block in the host's "Animate" and "Setup" panels,
// with the host's own "Spline" and "WeightDraw" blocks.
inline void placeWeightToolBlock(HostHandle block) {
    fxInterfaceBlockSet("Animate", nullptr, nullptr, block, 0);
    fxInterfaceBlockSet("Animate", "Animate", "Spline", 0, 0);
    fxInterfaceBlockSet("Animate", "Animate", "WeightDraw", 0, 0);
    fxInterfaceBlockSet("Setup", nullptr, nullptr, block, 0);
    fxInterfaceBlockSet("Setup", "Setup", "WeightDraw", 0, 0);
}

#endif
