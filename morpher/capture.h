// The rest-state capture, run for each target on every EFFECT_SETUP pass.
#ifndef RIMSHAPER_CAPTURE_H
#define RIMSHAPER_CAPTURE_H

#include <stdint.h>

#include "kestrin_types.h"

// Scan routine (instance is the item's MorpherInstance). Unless a complete
// rest state is held, records the mesh's neighbour lists, rest edge lengths and
// the stretch and squash targets' offsets in each point's tangent frame, and
// sets captured once both targets were recorded. Without the provider's
// functions it records nothing; when memory runs out it releases all a capture
// holds and leaves captured 0. Returns 1.
int32_t captureRoutine(uint32_t targetId, void* unused, HostHandle mesh, void* instance);

#endif
