// The tension curve: how the ratio of a point's current to rest length
// becomes the number the plug-ins act on. The base-2 logarithm of the ratio
// (0 at rest, 1 at double length, -1 at half), scaled, shaped by a sine ramp
// that is flat at -1 and 1, scaled again, then raised to a power on the side
// of its sign.
//
// Precision: each step takes a Real, computes in double and rounds its
// result back to Real. The weight tools work in float, so their weights are
// rounded to 32 bits after every step, as they have always been; the effect
// works in double, without rounding. Both are compiled from these templates,
// so the two cannot drift apart.
#ifndef KESTRIN_TENSION_CURVE_H
#define KESTRIN_TENSION_CURVE_H

#include <math.h>

// The decimal the ramp has always used, not the full-precision pi (they
// differ by about 7e-15): stored weights and corrected shapes depend on it.
const double TENSION_RAMP_PI = 3.1415926535898;

// The five channel values the curve reads, as the user sets them: each
// multiplier enters doubled, so 0.5 is neutral, and the power is 10 x the
// exponent, so 0.2 squares.
struct TensionSettings {
    double exponent;
    double preMultiplier;      // scales the log2 ratio before the ramp
    double postMultiplier;     // scales the ramp's value
    double stretchMultiplier;  // scales positive tension before the power
    double squashMultiplier;   // scales negative tension before the power
};

// Half a period of a sine from lo (x <= lo) to hi (x > hi), flat at both
// ends; a not-a-number x gives lo.
double sineRamp(double x, double lo, double hi);

// Base-2 logarithm, as log(x) / log(2).
double logBase2(double x);

// The log2 ratio scaled by 2 x preMultiplier, through the ramp onto -1..1,
// then scaled by 2 x postMultiplier.
template <typename Real>
Real shapedTension(Real log2Ratio, const TensionSettings& s) {
    Real t = (Real)(log2Ratio * s.preMultiplier * 2.0);
    t = (Real)sineRamp(t, -1.0, 1.0);
    return (Real)(t * s.postMultiplier * 2.0);
}

// A positive shaped tension scaled by 2 x stretchMultiplier and raised to
// 10 x exponent.
template <typename Real>
Real stretchPower(Real t, const TensionSettings& s) {
    const Real scaled = (Real)(t * s.stretchMultiplier * 2.0);
    return (Real)pow(scaled, s.exponent * 10.0);
}

// A negative shaped tension's magnitude scaled by 2 x squashMultiplier and
// raised to 10 x exponent: positive for a positive multiplier.
template <typename Real>
Real squashPower(Real t, const TensionSettings& s) {
    const Real scaled = (Real)(t * s.squashMultiplier * -2.0);
    return (Real)pow(scaled, s.exponent * 10.0);
}

#endif
