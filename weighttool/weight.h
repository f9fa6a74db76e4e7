// The tension weight: how much the edges around a point are stretched
// (positive) or squashed (negative) against the rest shape.
#ifndef STRAINMARK_WEIGHT_H
#define STRAINMARK_WEIGHT_H

#include <stdint.h>

#include "instance.h"
#include "kestrin_types.h"

// Half a period of a sine from lo (x <= lo) to hi (x > hi), flat at both
// ends; a not-a-number x gives lo.
double sineRamp(double x, double lo, double hi);

// Base-2 logarithm, as log(x) / log(2).
double logBase2(double x);

// Shapes the ratio of a point's current to rest mean edge length into its
// weight with the tool's settings, rounding to a 32-bit float after every
// step. An undefined ratio (not a number) counts as unchanged, 1.
float tensionWeight(const WeightToolInstance* tool, double ratio);

// The routine handed to fxWeightToolScan: builds the rest state when it is
// missing, then writes the weight of point index pointNumber - 1 through
// fxWeightToolValueSet. instance is the WeightToolInstance. Returns 1.
int32_t computePointWeight(void* unused, HostHandle mesh, int32_t pointNumber, int32_t unused2,
                           int32_t unused3, void* instance);

#endif
