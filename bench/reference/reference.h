// The direct computation the plug-ins' passes are measured against: the same
// neighbour lists, rest lengths, tension weights and displaced positions, from
// plain arrays with a compressed adjacency, without any host call, on one
// thread. Its results equal the plug-ins' bit for bit (tests/reference).
#ifndef KESTRIN_BENCH_REFERENCE_H
#define KESTRIN_BENCH_REFERENCE_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "kestrin_types.h"
#include "meshes.h"

namespace kestrin::bench {

// Every point's edge neighbours, distinct and in first-seen order (polygons in
// ascending order, in each the predecessor before the successor of every
// occurrence of the point): point i's list is
// points[start[i] .. start[i + 1]). start has pointCount + 1 entries.
struct Neighbours {
    std::vector<int32_t> start;
    std::vector<int32_t> points;

    int32_t count(int32_t point) const { return start[point + 1] - start[point]; }
    size_t bytes() const { return (start.size() + points.size()) * sizeof(int32_t); }
};

// Builds the lists in time linear in the polygon corners: every corner hands
// its pair to its point, then each point's pairs are filtered with a
// last-seen stamp per point. Vertex indices must be in range.
Neighbours buildNeighbours(const MeshData& mesh);

// Mean distance from each point to its neighbours, summed in list order;
// writes pointCount entries to r_lengths (0 / 0 for a point without
// neighbours, as the plug-ins store it).
void meanEdgeLengths(const Neighbours& neighbours, const Point3* positions, double* r_lengths);

// The weight tool's settings (record fields, as the channels and toggles set
// them); the defaults are those of a new instance.
struct WeightSettings {
    double exponent = 0.2;
    double preMultiplier = 0.5;
    double postMultiplier = 0.5;
    double stretchMultiplier = 0.5;
    double squashMultiplier = 0.5;
    int32_t clampValues = 1;
    int32_t switchMode = 0;
    int32_t onlyPositive = 0;
};

// The tension weight of every point, pointCount floats to r_weights.
void tensionWeights(const Neighbours& neighbours, const double* restLengths, const Point3* current,
                    const WeightSettings& settings, float* r_weights);

// The morpher's settings; defaults as for a new instance.
struct MorphSettings {
    double exponent = 0.2;
    double preMultiplier = 0.5;
    double postMultiplier = 0.5;
    double stretchMultiplier = 0.5;
    double squashMultiplier = 0.5;
};

// A point's tangent frame: 16 doubles, a 4x4 matrix by rows of which the
// upper-left 3x3 block is used. frames holds 16 doubles per point, or is null
// for the identity frame at every point.
const double* identityFrame();

// Offsets from the rest points to the target's points, taken into each point's
// frame (row by row): pointCount entries to r_deltas.
void targetDeltas(int32_t pointCount, const Point3* rest, const Point3* target, const double* frames,
                  Point3* r_deltas);

// One displacement pass. Writes pointCount positions to r_positions: the
// displaced position, or the current one for a point that is not moved (no
// neighbours, a ratio or factor that is not a number, or a new position that
// is not finite), and each point's factor to r_tensions (pointCount doubles;
// 0 for a point without a measurable tension). weights: a float per point, or
// null for no weight map.
void displace(const Neighbours& neighbours, const double* restLengths, const Point3* current,
              const double* frames, const Point3* stretchDeltas, const Point3* squashDeltas,
              const float* weights, const MorphSettings& settings, double* r_tensions,
              Point3* r_positions);

}  // namespace kestrin::bench

#endif
