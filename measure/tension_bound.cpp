#include "tension_bound.h"

namespace {

// The magnitude of what a plug-in hands on: not-a-number is never handed on.
double magnitude(double value) { return isnan(value) ? 0.0 : fabs(value); }

bool boundedPower(const TensionSettings& s) { return s.exponent * 10.0 >= 0.0; }

}  // namespace

double weightBound(const TensionSettings& s, const WeightSwitches& w) {
    const bool limited = w.clampValues == 1 || w.onlyPositive == 1;
    if (!boundedPower(s)) return limited ? 1.0 : INFINITY;
    const float ends[] = {-1.0f, 1.0f};
    double bound = 0.0;
    for (float end : ends) {
        const float shaped = (float)(end * s.postMultiplier * 2.0);
        const double weight = finiteWeight(weightOfShaped(shaped, s, w));
        if (magnitude(weight) > bound) bound = magnitude(weight);
    }
    return bound;
}

double displacementBound(const TensionSettings& s) {
    if (!boundedPower(s)) return INFINITY;
    const double ends[] = {-1.0, 1.0};
    double bound = 0.0;
    for (double end : ends) {
        const double shaped = end * s.postMultiplier * 2.0;
        const double factor = shaped > 0.0 ? stretchPower<double>(shaped, s) : squashPower<double>(shaped, s);
        if (magnitude(factor) > bound) bound = magnitude(factor);
    }
    return bound;
}
