#include "weight_curve.h"

#include <float.h>

float weightOfShaped(float t, const TensionSettings& s, const WeightSwitches& w) {
    if (t < 0.0) t = (float)(squashPower<float>(t, s) * -1.0);
    if (t >= 0.0) t = stretchPower<float>(t, s);
    if (w.clampValues == 1) {
        const float m = t < 1.0 ? t : 1.0f;
        t = m > -1.0 ? m : -1.0f;
    }
    if (w.switchMode == 1) t = (float)(t * -1.0);
    if (w.onlyPositive == 1) {
        const float m = t < 1.0 ? t : 1.0f;
        t = m > 0.0 ? m : 0.0f;
    }
    return t;
}

float tensionWeight(double ratio, const TensionSettings& s, const WeightSwitches& w) {
    float t = (float)(isnan(ratio) ? 1.0 : ratio);
    t = (float)logBase2(t);
    return weightOfShaped(shapedTension<float>(t, s), s, w);
}

float finiteWeight(float t) {
    if (isnan(t)) return 0.0f;
    if (isinf(t)) return t > 0.0f ? FLT_MAX : -FLT_MAX;
    return t;
}
