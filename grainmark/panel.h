// Grainmark's controls panel and the callbacks of its check boxes.
#ifndef GRAINMARK_PANEL_H
#define GRAINMARK_PANEL_H

#include <stdint.h>

#include "kestrin_types.h"

// INTERFACE_BUILD: makes the block with the eight channel controls, the
// weight tool's check boxes and one check box per measure, and places it in
// the host's "Animate" and "Setup" panels.
void buildPanel(void);

// The weight tool's check boxes (weight_toggles.def), as Strainmark's.
#define WEIGHT_TOGGLE(field, callback, ...) \
    int32_t callback(HostHandle control, HostHandle item, void* unused, uint64_t event);
#include "weight_toggles.def"

// One per measure (grain_measures.def): CONTROL_CHANGED with the box ticked
// makes it the item's measure (unticking the measured box leaves it
// measured: one is always chosen), then refreshes the interface, so that
// the other boxes untick; CONTROL_REFRESH ticks the box when its measure is
// the item's. Anything else, or an item without a record, does nothing.
#define GRAIN_MEASURE(id, callback, ...) \
    int32_t callback(HostHandle control, HostHandle item, void* unused, uint64_t event);
#include "grain_measures.def"

#endif
