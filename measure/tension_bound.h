// How large the curve can get for given settings, known before any point is
// measured: outputs that cannot hold every value (a half-float texture) are
// refused up front instead of failing half way.
//
// After the ramp every step is monotone in the ramp's value on each side of
// 0, so the largest magnitude is reached at one of its ends, -1 or 1, where
// it is computed with the plug-ins' own steps and rounding: the bound is
// never passed, and it is reached wherever the ramp saturates (a length ratio
// of 2 or 0.5 with the default pre-multiplier). A negative power has no bound (a point at rest
// measures 0, and 0 to a negative power is infinite).
#ifndef KESTRIN_TENSION_BOUND_H
#define KESTRIN_TENSION_BOUND_H

#include "tension_curve.h"
#include "weight_curve.h"

// The largest |weight| a weight tool writes with these settings and
// switches (the finite weights; infinity when there is no bound).
double weightBound(const TensionSettings& s, const WeightSwitches& w);

// The largest factor the effect scales a point's offset by (its double
// steps); infinity when there is none.
double displacementBound(const TensionSettings& s);

#endif
