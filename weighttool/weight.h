// The tension weight: how much the edges around a point are stretched
// (positive) or squashed (negative) against the rest shape, through the
// weight curve of measure/.
#ifndef STRAINMARK_WEIGHT_H
#define STRAINMARK_WEIGHT_H

#include <stdint.h>

#include "instance.h"
#include "kestrin_types.h"

// The routine handed to fxWeightToolScan: builds the rest state when it is
// missing, then writes the weight of point index pointNumber - 1 through
// fxWeightToolValueSet. instance is the WeightToolInstance. Returns 1.
int32_t computePointWeight(void* unused, HostHandle mesh, int32_t pointNumber, int32_t unused2,
                           int32_t unused3, void* instance);

#endif
