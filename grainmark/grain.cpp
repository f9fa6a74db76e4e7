#include "grain.h"

#include <math.h>

#include "host_api.h"
#include "instance.h"
#include "tension_channels.h"
#include "weight_curve.h"
#include "weight_toggles.h"

namespace {

// The point's tensor in its tangent basis: c00, c01 (= c10), c11.
struct Tensor2 {
    double c00, c01, c11;
};

Tensor2 pointTensor(const GrainRest* rest, int32_t k) {
    Tensor2 c = {0.0, 0.0, 0.0};
    const Point3* pose = rest->pose;
    for (size_t p = rest->firstPair[k]; p < rest->firstPair[k + 1]; ++p) {
        const GrainPair& pair = rest->pairs[p];
        const Point3 a = pose[pair.corner[0]], b = pose[pair.corner[1]], d = pose[pair.corner[2]];
        const double e1x = b.x - a.x, e1y = b.y - a.y, e1z = b.z - a.z;
        const double e2x = d.x - a.x, e2y = d.y - a.y, e2z = d.z - a.z;
        // The tangent basis carried onto the current triangle.
        const double f0x = e1x * pair.k[0] + e2x * pair.k[2];
        const double f0y = e1y * pair.k[0] + e2y * pair.k[2];
        const double f0z = e1z * pair.k[0] + e2z * pair.k[2];
        const double f1x = e1x * pair.k[1] + e2x * pair.k[3];
        const double f1y = e1y * pair.k[1] + e2y * pair.k[3];
        const double f1z = e1z * pair.k[1] + e2z * pair.k[3];
        c.c00 += f0x * f0x + f0y * f0y + f0z * f0z;
        c.c01 += f0x * f1x + f0y * f1y + f0z * f1z;
        c.c11 += f1x * f1x + f1y * f1y + f1z * f1z;
    }
    return c;
}

// The ratio whose square is q: a squared stretch or area ratio. Rounding
// can take a zero one below zero; not-a-number stays so (unchanged, for
// tensionWeight).
double rootOf(double q) { return q > 0.0 ? sqrt(q) : (q <= 0.0 ? 0.0 : q); }

// The stretch ratio along unit tangent direction (dx, dy).
double stretchAlong(const Tensor2& c, double dx, double dy) {
    return rootOf(c.c00 * dx * dx + 2.0 * c.c01 * dx * dy + c.c11 * dy * dy);
}

// The ratio the chosen measure reads at point k: 1 (unchanged) for a point
// without triangles, and along or across an axis that has no direction in
// the point's tangent plane.
double grainRatio(const GrainInstance* grain, int32_t k) {
    const GrainRest* rest = &grain->rest;
    if (rest->firstPair[k] == rest->firstPair[k + 1]) return 1.0;
    const Tensor2 c = pointTensor(rest, k);
    const int32_t measure = grain->measure;
    if (measure == GRAIN_ALONG || measure == GRAIN_ACROSS) {
        if (grain->axisUsable != 1) return 1.0;
        const float* t = rest->tangents + 6 * (size_t)k;
        const double* a = grain->unitAxis;
        double ax = a[0] * t[0] + a[1] * t[1] + a[2] * t[2];
        double ay = a[0] * t[3] + a[1] * t[4] + a[2] * t[5];
        const double projected = sqrt(ax * ax + ay * ay);
        // An axis within a millionth of a radian of the normal points
        // nowhere in the surface.
        if (!(projected > 1e-6)) return 1.0;
        ax /= projected;
        ay /= projected;
        return measure == GRAIN_ALONG ? stretchAlong(c, ax, ay) : stretchAlong(c, -ay, ax);
    }
    if (measure == GRAIN_AREA) return rootOf(c.c00 * c.c11 - c.c01 * c.c01);
    const double half = 0.5 * (c.c00 + c.c11);
    const double d = 0.5 * (c.c00 - c.c11);
    const double spread = sqrt(d * d + c.c01 * c.c01);
    if (measure == GRAIN_MOST_STRETCHED) return rootOf(half + spread);
    if (measure == GRAIN_MOST_SQUASHED) return rootOf(half - spread);
    return 1.0;
}

// Builds the rest state from the mesh's base shape and marks it captured.
// Returns 0, with nothing held and captured 0, when memory ran out.
int32_t captureGrain(GrainInstance* grain, HostHandle mesh) {
    grain->captured = 0;
    grain->poseRead = 0;
    int32_t n = 0;
    fxMeshNumPoints(mesh, &n, 0);
    if (captureGrainRest(&grain->rest, mesh, n) == 0) return 0;
    grain->captured = 1;
    return 1;
}

// The scan's current positions of the captured points, and its axis.
void readPose(GrainInstance* grain, HostHandle mesh) {
    const auto readPoint = fxMeshPoint;
    GrainRest* rest = &grain->rest;
    for (int32_t i = 0; i < rest->pointCount; ++i) {
        rest->pose[i] = Point3{0.0, 0.0, 0.0};
        readPoint(mesh, i, &rest->pose[i], 1);
    }
    // Scaled by its largest component first, so that an axis of huge or tiny
    // numbers keeps its direction instead of overflowing or vanishing.
    const double raw[3] = {grain->axisX, grain->axisY, grain->axisZ};
    const double largest = fmax(fabs(raw[0]), fmax(fabs(raw[1]), fabs(raw[2])));
    grain->axisUsable = largest > 0.0 && isfinite(largest) && isfinite(raw[0] + raw[1] + raw[2]) ? 1 : 0;
    double axis[3] = {0.0, 0.0, 0.0};
    for (int32_t i = 0; i < 3 && grain->axisUsable == 1; ++i) axis[i] = raw[i] / largest;
    const double length = sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    for (int32_t i = 0; i < 3; ++i) grain->unitAxis[i] = grain->axisUsable == 1 ? axis[i] / length : 0.0;
    grain->poseRead = 1;
}

}  // namespace

int32_t computePointGrain(void* unused, HostHandle mesh, int32_t pointNumber, int32_t unused2,
                          int32_t unused3, void* instance) {
    (void)unused;
    (void)unused2;
    (void)unused3;
    GrainInstance* grain = static_cast<GrainInstance*>(instance);
    if (grain == nullptr || grain->captureFailed == 1) return 1;
    if (grain->captured != 1 && captureGrain(grain, mesh) == 0) {
        grain->captureFailed = 1;
        return 1;
    }
    if (grain->poseRead != 1) readPose(grain, mesh);
    if (pointNumber <= 0) return 1;
    const int32_t k = pointNumber - 1;
    // A point the mesh gained after the capture has no rest data to compare.
    float weight = 0.0f;
    if (k < grain->rest.pointCount) {
        weight = tensionWeight(grainRatio(grain, k), tensionSettingsOf(grain), weightSwitchesOf(grain));
    }
    fxWeightToolValueSet(k, finiteWeight(weight), 0);
    return 1;
}
