// The weight tools' curve: the tension curve in float steps, signed, then
// limited by the tools' three switches. Every weight tool writes its
// weights through it.
#ifndef KESTRIN_WEIGHT_CURVE_H
#define KESTRIN_WEIGHT_CURVE_H

#include <stdint.h>

#include "tension_curve.h"

// The switches of a weight tool's panel, each on only when equal to 1.
struct WeightSwitches {
    int32_t clampValues;   // "Clamp": weights limited to -1..1
    int32_t switchMode;    // "Squash/Stretch switch": sign inverted
    int32_t onlyPositive;  // "Only Positive": weights limited to 0..1
};

// The weight of a shaped tension (shapedTension<float>): the squash side's
// power, negated, then the stretch side's power, which is tested on what the
// squash side left; then Clamp, the switch and Only Positive, in that order.
// Not-a-number takes neither side and comes out 1 with Clamp or Only
// Positive on.
float weightOfShaped(float shaped, const TensionSettings& s, const WeightSwitches& w);

// The weight of a ratio of current to rest length; an undefined ratio (not a
// number) counts as unchanged, 1. The ratio and its log2 are rounded to
// float before the curve.
float tensionWeight(double ratio, const TensionSettings& s, const WeightSwitches& w);

// The weight as the host gets it: not-a-number becomes 0, an infinity the
// largest float of its sign.
float finiteWeight(float weight);

#endif
