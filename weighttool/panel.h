// Strainmark's controls panel and the callbacks of its toggles.
#ifndef STRAINMARK_PANEL_H
#define STRAINMARK_PANEL_H

#include <stdint.h>

#include "kestrin_types.h"

// The controls block of the last INTERFACE_BUILD, shared by all instances.
extern HostHandle weightToolBlock;

// INTERFACE_BUILD: makes the block with the five channel controls and the
// three toggles, and places it in the host's "Animate" and "Setup" panels.
void buildPanel(void);

// Toggle callbacks, one per check box of weight_toggles.def (onClampControl,
// onOnlyPositiveControl, onSwitchControl): CONTROL_CHANGED copies the control
// into the box's field of the item's record (and refreshes the interface),
// CONTROL_REFRESH shows the field's value; anything else, or an item without
// a record, does nothing. Return 0.
#define WEIGHT_TOGGLE(field, callback, ...) \
    int32_t callback(HostHandle control, HostHandle item, void* unused, uint64_t event);
#include "weight_toggles.def"

#endif
