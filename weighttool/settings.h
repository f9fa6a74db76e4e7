// Strainmark's saved settings: the "LagData" block of a save or load.
#ifndef STRAINMARK_SETTINGS_H
#define STRAINMARK_SETTINGS_H

#include "kestrin_types.h"

// OBJ_SAVE: writes the item's toggles (in their saved positions), exponent
// and pre/post multipliers into a new "LagData" block of the save in
// progress (data). The stretch and squash multipliers travel with their
// channels only.
void saveSettings(void* data, HostHandle item);

// OBJ_LOAD: resets the item's record, reads back what "LagData" holds (a
// missing key leaves its field as the reset left it) and drops the rest
// state, so the next computation captures anew.
void loadSettings(void* data, HostHandle item);

#endif
