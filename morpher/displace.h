// The per-frame displacement, run for each target on every EFFECT_DISPLACE pass.
#ifndef RIMSHAPER_DISPLACE_H
#define RIMSHAPER_DISPLACE_H

#include <stdint.h>

#include "kestrin_types.h"

// Scan routine (instance is the item's MorpherInstance). Measures each point's
// edge tension against the rest state and moves the point along its stretch
// or squash offset, mapped through its current tangent frame, scaled by the
// shaped tension and the weight map. Returns 0, moving nothing, when no
// complete rest state is held or the provider's functions are missing; else 1.
int32_t displaceRoutine(uint32_t targetId, void* unused, HostHandle mesh, void* instance);

#endif
