// Strainmark's controls panel and the callbacks of its toggles.
#ifndef STRAINMARK_PANEL_H
#define STRAINMARK_PANEL_H

#include <stdint.h>

#include "kestrin_types.h"

// The controls block of the last INTERFACE_BUILD, shared by all instances.
extern HostHandle weightToolBlock;

// INTERFACE_BUILD: makes the block with the five channel controls and the
// three toggles, and places it in the host's "Animate" and "Setup" panels.
void buildWeightToolPanel(void);

// Toggle callbacks: CONTROL_CHANGED copies the control into the item's
// record (and refreshes the interface), CONTROL_REFRESH shows the record's
// value; anything else, or an item without a record, does nothing. Return 0.
int32_t onClampControl(HostHandle control, HostHandle item, void* unused, uint64_t event);
int32_t onOnlyPositiveControl(HostHandle control, HostHandle item, void* unused, uint64_t event);
int32_t onSwitchControl(HostHandle control, HostHandle item, void* unused, uint64_t event);

#endif
