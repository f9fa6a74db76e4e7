#include "displace.h"

#include <math.h>

#include "edge_length.h"
#include "frame.h"
#include "host_api.h"
#include "instance.h"
#include "tangent_api.h"
#include "tension_channels.h"
#include "tension_curve.h"

namespace {

const int32_t WEIGHT_KIND = 4;

bool providerPresent(void) {
    return useful_FetchTangentSpace != nullptr && useful_TangentSpaceCalculate != nullptr &&
           useful_TangentGetMatrix != nullptr;
}

bool finitePoint(Point3 p) { return isfinite(p.x) && isfinite(p.y) && isfinite(p.z); }

// True when every neighbour is still a point of the mesh (n points): a mesh
// that lost points since the capture cannot measure those edges.
bool neighboursPresent(const int32_t* neighbours, int32_t count, int32_t n) {
    for (int32_t k = 0; k < count; ++k) {
        if (neighbours[k] < 0 || neighbours[k] >= n) return false;
    }
    return true;
}

// Shaped tension of each of the first `covered` points into tensions; not a
// number for a point whose tension cannot be measured.
void measureTensions(MorpherInstance* record, HostHandle mesh, int32_t n, int32_t covered) {
    const TensionSettings settings = tensionSettingsOf(record);
    for (int32_t i = 0; i < covered; ++i) {
        const int32_t count = record->rest.neighbourCounts[i];
        const int32_t* neighbours = record->rest.neighbourLists[i];
        // A point without neighbours has no edges to measure: it stays put.
        if (count <= 0 || neighbours == nullptr || !neighboursPresent(neighbours, count, n)) {
            record->tensions[i] = NAN;
            continue;
        }
        const double ratio =
            meanEdgeLength(mesh, i, neighbours, count, 1) / record->rest.restLengths[i];
        // A rest length of zero (every neighbour on the point at rest) gives
        // no ratio to measure: that point stays put too.
        if (!isfinite(ratio)) {
            record->tensions[i] = NAN;
            continue;
        }
        record->tensions[i] = shapedTension<double>(logBase2(ratio), settings);
    }
}

// Moves point i by its chosen offset; a point whose factor or new position is
// not a finite number stays where it is, so the host never gets one.
void displacePoint(MorpherInstance* record, HostHandle mesh, int32_t i) {
    const double v = record->tensions[i];
    if (isnan(v)) {
        record->tensions[i] = 0.0;
        return;
    }
    Point3 p = {0.0, 0.0, 0.0};
    fxMeshPoint(mesh, i, &p, 1);
    double m[TANGENT_MATRIX_SIZE];
    clearFrame(m);
    useful_TangentGetMatrix(record->tangentSpace, i, m);

    // Zero tension takes the squash side, as it always has.
    const TensionSettings settings = tensionSettingsOf(record);
    const bool stretched = v > 0.0;
    const double s = stretched ? stretchPower<double>(v, settings) : squashPower<double>(v, settings);
    const Point3 d = stretched ? record->stretchDeltas[i] : record->squashDeltas[i];
    record->tensions[i] = s;
    // A negative multiplier under a fractional power has no real factor.
    if (isnan(s)) return;

    Point3 w = outOfFrame(m, d, s);
    if (record->weightMap != 0) {
        float weight = 0.0f;
        fxMeshPointWeight(mesh, i, record->weightMap, WEIGHT_KIND, &weight, 0);
        w.x *= (double)weight;
        w.y *= (double)weight;
        w.z *= (double)weight;
    }
    const Point3 moved = {p.x + w.x, p.y + w.y, p.z + w.z};
    if (!finitePoint(moved)) return;
    fxDisplacePoint(mesh, i, moved.x, moved.y, moved.z);
}

}  // namespace

int32_t displaceRoutine(uint32_t targetId, void*, HostHandle mesh, void* instance) {
    MorpherInstance* record = static_cast<MorpherInstance*>(instance);
    int32_t n = 0;
    fxMeshNumPoints(mesh, &n, 0);
    if (record->captured != 1) return 0;
    if (!providerPresent()) return 0;

    record->tangentSpace = useful_FetchTangentSpace(mesh, targetId);
    useful_TangentSpaceCalculate(record->tangentSpace);

    // The rest state covers pointCount points: points beyond it (a mesh that
    // gained points) have no rest state and keep their positions.
    int32_t covered = n < record->rest.pointCount ? n : record->rest.pointCount;
    if (covered < 0) covered = 0;
    measureTensions(record, mesh, n, covered);

    fxDisplaceBegin(mesh, 0);
    for (int32_t i = 0; i < covered; ++i) displacePoint(record, mesh, i);
    fxDisplaceEnd(mesh, 0);
    return 1;
}
