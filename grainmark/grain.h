// The grain weight: how much the surface at a point is stretched (positive)
// or squashed (negative) along the axis, across it, in area, or in its most
// stretched or most squashed direction, against the rest shape, through the
// weight curve of measure/.
#ifndef GRAINMARK_GRAIN_H
#define GRAINMARK_GRAIN_H

#include <stdint.h>

#include "kestrin_types.h"

// The routine handed to fxWeightToolScan: builds the rest state when it is
// missing, reads the scan's pose at its first call, then writes the weight
// of point index pointNumber - 1 through fxWeightToolValueSet. instance is
// the GrainInstance. Returns 1.
int32_t computePointGrain(void* unused, HostHandle mesh, int32_t pointNumber, int32_t unused2,
                          int32_t unused3, void* instance);

#endif
