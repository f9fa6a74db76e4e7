// Grainmark's saved settings: its "GrainData" block of a save or load.
#ifndef GRAINMARK_SETTINGS_H
#define GRAINMARK_SETTINGS_H

#include "kestrin_types.h"

// OBJ_SAVE: writes the item's check boxes (as Strainmark's, in their saved
// positions), its measure ("measure"), then the exponent and pre/post
// multipliers ("lag", "multiplier1", "multiplier2") into a new "GrainData"
// block of the save in progress (data). The other channels, the axis among
// them, travel with their channels only.
void saveSettings(void* data, HostHandle item);

// OBJ_LOAD: resets the item's record, reads back what "GrainData" holds (a
// missing key leaves its field as the reset left it) and drops the rest
// state, so the next computation captures anew. A measure that names none
// keeps the one chosen.
void loadSettings(void* data, HostHandle item);

#endif
