// The "LagData" block: the settings that survive a save and load. The stretch
// and squash multipliers travel only in their channels; no rest state is kept.
#ifndef RIMSHAPER_SETTINGS_H
#define RIMSHAPER_SETTINGS_H

#include "kestrin_types.h"

// Writes item's settings into a new "LagData" block of the save in progress
// (data). Nothing happens for an item without a record.
void saveSettings(void* data, HostHandle item);

// Resets the record, reads the "LagData" block of the load in progress (data)
// in the order the save wrote it, and drops the rest state's validity so the
// next setup pass captures again. Nothing happens without a record.
void loadSettings(void* data, HostHandle item);

#endif
