#include "tension_curve.h"

double sineRamp(double x, double lo, double hi) {
    if (hi < x) return hi;
    if (lo < x) {
        const double s = (x - lo) / (hi - lo);
        return lo + (hi - lo) * (0.5 + 0.5 * sin((s - 0.5) * TENSION_RAMP_PI));
    }
    return lo;
}

double logBase2(double x) { return log(x) / log(2.0); }
