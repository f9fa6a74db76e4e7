#include "weight.h"

#include "edge_length.h"
#include "host_api.h"
#include "rest_state.h"
#include "tension_channels.h"
#include "weight_curve.h"
#include "weight_toggles.h"

namespace {

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

}  // namespace

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
        weight = tensionWeight(lengthRatio(&tool->rest, mesh, k), tensionSettingsOf(tool),
                               weightSwitchesOf(tool));
    }
    fxWeightToolValueSet(k, finiteWeight(weight), 0);
    return 1;
}
