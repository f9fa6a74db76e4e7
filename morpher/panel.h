// The effect's controls panel and its control callbacks.
#ifndef RIMSHAPER_PANEL_H
#define RIMSHAPER_PANEL_H

#include <stdint.h>

#include "kestrin_types.h"

// The block the last panel build made; the host owns it.
extern HostHandle morpherBlock;

// Builds the module-wide panel: five channel controls, the weight-map popup and
// the squash and stretch object popups, in the "Animate" and "Setup" sections.
void buildPanel(void);

// Control callbacks: CONTROL_CHANGED reads the control's choice into the
// item's record, CONTROL_REFRESH shows the record's choice. Return 0.
int32_t onWeightControl(HostHandle control, HostHandle item, void* unused, uint64_t event);
int32_t onStretchObjectControl(HostHandle control, HostHandle item, void* unused, uint64_t event);
int32_t onSquashObjectControl(HostHandle control, HostHandle item, void* unused, uint64_t event);

#endif
