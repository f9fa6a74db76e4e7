#include "weight.h"

#include <float.h>
#include <math.h>

#include "edge_length.h"
#include "host_api.h"
#include "rest_state.h"

namespace {

// The decimal the ramp has always used, not the full-precision pi.
const double RAMP_PI = 3.1415926535898;

// The ratio of a point's current to rest mean edge length. A point without
// neighbours has none and is taken as unchanged; zero length at rest and now
// gives not-a-number, which tensionWeight takes as unchanged too.
double lengthRatio(const RestState* rest, HostHandle mesh, int32_t k) {
    const int32_t count = rest->neighbourCounts[k];
    if (count <= 0) return 1.0;
    return meanEdgeLength(mesh, k, rest->neighbourLists[k], count, 1) / rest->restLengths[k];
}

// Builds the rest state from the mesh's base shape and marks it captured.
// Returns 0, with nothing held and captured 0, when memory ran out.
int32_t captureTool(WeightToolInstance* tool, HostHandle mesh) {
    tool->captured = 0;
    int32_t n = 0;
    fxMeshNumPoints(mesh, &n, 0);
    if (captureRestState(&tool->rest, mesh, n) == 0) return 0;
    tool->captured = 1;
    return 1;
}

// The host must get a finite weight: not-a-number becomes 0, an infinity the
// largest float of its sign.
float finiteWeight(float t) {
    if (isnan(t)) return 0.0f;
    if (isinf(t)) return t > 0.0f ? FLT_MAX : -FLT_MAX;
    return t;
}

}  // namespace

double sineRamp(double x, double lo, double hi) {
    if (hi < x) return hi;
    if (lo < x) {
        const double s = (x - lo) / (hi - lo);
        return lo + (hi - lo) * (0.5 + 0.5 * sin((s - 0.5) * RAMP_PI));
    }
    return lo;
}

double logBase2(double x) { return log(x) / log(2.0); }

float tensionWeight(const WeightToolInstance* tool, double ratio) {
    float t = (float)(isnan(ratio) ? 1.0 : ratio);
    t = (float)logBase2(t);
    t = (float)(t * tool->preMultiplier * 2.0);
    t = (float)sineRamp(t, -1.0, 1.0);
    t = (float)(t * tool->postMultiplier * 2.0);
    if (t < 0.0) {
        t = (float)(t * tool->squashMultiplier * -2.0);
        t = (float)pow(t, tool->exponent * 10.0);
        t = (float)(t * -1.0);
    }
    if (t >= 0.0) {
        t = (float)(t * tool->stretchMultiplier * 2.0);
        t = (float)pow(t, tool->exponent * 10.0);
    }
    if (tool->clampValues == 1) {
        const float m = t < 1.0 ? t : 1.0f;
        t = m > -1.0 ? m : -1.0f;
    }
    if (tool->switchMode == 1) t = (float)(t * -1.0);
    if (tool->onlyPositive == 1) {
        const float m = t < 1.0 ? t : 1.0f;
        t = m > 0.0 ? m : 0.0f;
    }
    return t;
}

int32_t computePointWeight(void* unused, HostHandle mesh, int32_t pointNumber, int32_t unused2,
                           int32_t unused3, void* instance) {
    (void)unused;
    (void)unused2;
    (void)unused3;
    WeightToolInstance* tool = static_cast<WeightToolInstance*>(instance);
    if (tool == nullptr || tool->captureFailed == 1) return 1;
    if (tool->captured != 1 && captureTool(tool, mesh) == 0) {
        tool->captureFailed = 1;
        return 1;
    }
    if (pointNumber <= 0) return 1;
    const int32_t k = pointNumber - 1;
    // A point the mesh gained after the capture has no rest data to compare.
    float weight = 0.0f;
    if (k < tool->rest.pointCount) {
        weight = tensionWeight(tool, lengthRatio(&tool->rest, mesh, k));
    }
    fxWeightToolValueSet(k, finiteWeight(weight), 0);
    return 1;
}
