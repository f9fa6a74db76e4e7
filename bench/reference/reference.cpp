#include "reference.h"

#include <float.h>
#include <math.h>

namespace kestrin::bench {
namespace {

// The plug-ins' constant, not the full-precision pi.
constexpr double kPi = 3.1415926535898;

inline double distance(const Point3& p, const Point3& q) {
    const double dx = p.x - q.x, dy = p.y - q.y, dz = p.z - q.z;
    return sqrt(dx * dx + dy * dy + dz * dz);
}

inline double meanLength(const Neighbours& neighbours, int32_t point, const Point3* positions) {
    const Point3 p = positions[point];
    double sum = 0.0;
    const int32_t end = neighbours.start[point + 1];
    for (int32_t k = neighbours.start[point]; k < end; ++k) {
        sum += distance(p, positions[neighbours.points[k]]);
    }
    return sum / static_cast<double>(neighbours.count(point));
}

double sineRamp(double x, double lo, double hi) {
    if (hi < x) return hi;
    if (lo < x) {
        const double s = (x - lo) / (hi - lo);
        return lo + (hi - lo) * (0.5 + 0.5 * sin((s - 0.5) * kPi));
    }
    return lo;
}

double logBase2(double x) { return log(x) / log(2.0); }

// What reaches the weight map: NaN as 0, an infinity as the largest finite
// float of its sign.
float finiteWeight(float t) {
    if (isnan(t)) return 0.0f;
    if (isinf(t)) return t > 0.0f ? FLT_MAX : -FLT_MAX;
    return t;
}

float shapeWeight(double ratio, const WeightSettings& s) {
    float t = static_cast<float>(ratio);
    t = static_cast<float>(logBase2(t));
    t = static_cast<float>(t * s.preMultiplier * 2.0);
    t = static_cast<float>(sineRamp(t, -1.0, 1.0));
    t = static_cast<float>(t * s.postMultiplier * 2.0);
    if (t < 0.0) {
        t = static_cast<float>(t * s.squashMultiplier * (-2.0));
        t = static_cast<float>(pow(t, s.exponent * 10.0));
        t = static_cast<float>(t * (-1.0));
    }
    if (t >= 0.0) {
        t = static_cast<float>(t * s.stretchMultiplier * 2.0);
        t = static_cast<float>(pow(t, s.exponent * 10.0));
    }
    if (s.clampValues == 1) {
        const float m = t < 1.0 ? t : 1.0f;
        t = m > -1.0 ? m : -1.0f;
    }
    if (s.switchMode == 1) t = static_cast<float>(t * (-1.0));
    if (s.onlyPositive == 1) {
        const float m = t < 1.0 ? t : 1.0f;
        t = m > 0.0 ? m : 0.0f;
    }
    return finiteWeight(t);
}

}  // namespace

Neighbours buildNeighbours(const MeshData& mesh) {
    const int32_t points = mesh.pointCount();
    const int32_t polygons = mesh.polygonCount();
    const int32_t* start = mesh.polygonStart.data();
    const int32_t* vertices = mesh.polygonVertices.data();

    // Two pair entries per corner of every polygon with an edge.
    Neighbours result;
    result.start.assign(static_cast<size_t>(points) + 1, 0);
    int32_t* offsets = result.start.data();
    for (int32_t p = 0; p < polygons; ++p) {
        if (start[p + 1] - start[p] < 2) continue;
        for (int32_t k = start[p]; k < start[p + 1]; ++k) offsets[vertices[k] + 1] += 2;
    }
    for (int32_t i = 0; i < points; ++i) offsets[i + 1] += offsets[i];

    std::vector<int32_t> pairs(offsets[points]);
    std::vector<int32_t> fill(offsets, offsets + points);
    for (int32_t p = 0; p < polygons; ++p) {
        const int32_t first = start[p], n = start[p + 1] - start[p];
        if (n < 2) continue;
        const int32_t* v = vertices + first;
        for (int32_t k = 0; k < n; ++k) {
            int32_t& slot = fill[v[k]];
            pairs[slot++] = v[k == 0 ? n - 1 : k - 1];
            pairs[slot++] = v[k == n - 1 ? 0 : k + 1];
        }
    }

    // First-seen filter, compacting in place: stamp[q] == i + 1 marks q as
    // already listed for point i.
    std::vector<int32_t> stamp(points, 0);
    int32_t out = 0;
    for (int32_t i = 0; i < points; ++i) {
        const int32_t begin = offsets[i], end = offsets[i + 1];
        offsets[i] = out;
        for (int32_t k = begin; k < end; ++k) {
            const int32_t q = pairs[k];
            if (stamp[q] == i + 1) continue;
            stamp[q] = i + 1;
            pairs[out++] = q;
        }
    }
    offsets[points] = out;
    pairs.resize(out);
    pairs.shrink_to_fit();
    result.points = std::move(pairs);
    return result;
}

void meanEdgeLengths(const Neighbours& neighbours, const Point3* positions, double* r_lengths) {
    const int32_t points = static_cast<int32_t>(neighbours.start.size()) - 1;
    for (int32_t i = 0; i < points; ++i) r_lengths[i] = meanLength(neighbours, i, positions);
}

void tensionWeights(const Neighbours& neighbours, const double* restLengths, const Point3* current,
                    const WeightSettings& settings, float* r_weights) {
    const int32_t points = static_cast<int32_t>(neighbours.start.size()) - 1;
    for (int32_t i = 0; i < points; ++i) {
        // An undefined ratio (no neighbours, or both lengths zero) reads as
        // an unchanged point.
        double ratio = 1.0;
        if (neighbours.count(i) > 0) {
            ratio = meanLength(neighbours, i, current) / restLengths[i];
            if (isnan(ratio)) ratio = 1.0;
        }
        r_weights[i] = shapeWeight(ratio, settings);
    }
}

const double* identityFrame() {
    static const double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    return identity;
}

void targetDeltas(int32_t pointCount, const Point3* rest, const Point3* target, const double* frames,
                  Point3* r_deltas) {
    for (int32_t i = 0; i < pointCount; ++i) {
        const double* m = frames != nullptr ? frames + 16 * static_cast<size_t>(i) : identityFrame();
        const double dx = target[i].x - rest[i].x;
        const double dy = target[i].y - rest[i].y;
        const double dz = target[i].z - rest[i].z;
        r_deltas[i] = {m[0] * dx + m[1] * dy + m[2] * dz, m[4] * dx + m[5] * dy + m[6] * dz,
                       m[8] * dx + m[9] * dy + m[10] * dz};
    }
}

void displace(const Neighbours& neighbours, const double* restLengths, const Point3* current,
              const double* frames, const Point3* stretchDeltas, const Point3* squashDeltas,
              const float* weights, const MorphSettings& s, double* r_tensions,
              Point3* r_positions) {
    const int32_t points = static_cast<int32_t>(neighbours.start.size()) - 1;
    const double l2 = log(2.0);
    for (int32_t i = 0; i < points; ++i) {
        // No neighbours or no finite ratio: nothing to measure, not moved.
        r_tensions[i] = NAN;
        if (neighbours.count(i) == 0) continue;
        const double ratio = meanLength(neighbours, i, current) / restLengths[i];
        if (!isfinite(ratio)) continue;
        double t = log(ratio) / l2;
        t = t * s.preMultiplier * 2.0;
        if (t > 1.0) {
            t = 1.0;
        } else if (t > -1.0) {
            const double x = (((t - (-1.0)) * 0.5) - 0.5) * kPi;
            t = ((sin(x) * 0.5) + 0.5) * 2.0 - 1.0;
        } else {
            t = -1.0;
        }
        r_tensions[i] = t * s.postMultiplier * 2.0;
    }
    for (int32_t i = 0; i < points; ++i) {
        const Point3 p = current[i];
        r_positions[i] = p;
        const double v = r_tensions[i];
        if (isnan(v)) {
            r_tensions[i] = 0.0;
            continue;
        }
        const double* m = frames != nullptr ? frames + 16 * static_cast<size_t>(i) : identityFrame();
        double f;
        Point3 d;
        if (v > 0.0) {
            f = s.stretchMultiplier * v * 2.0;
            f = pow(f, s.exponent * 10.0);
            d = stretchDeltas[i];
        } else {
            f = s.squashMultiplier * v * 2.0;
            f = f * (-1.0);
            f = pow(f, s.exponent * 10.0);
            d = squashDeltas[i];
        }
        r_tensions[i] = f;
        if (isnan(f)) continue;
        Point3 w = {f * (m[0] * d.x + m[4] * d.y + m[8] * d.z),
                    f * (m[1] * d.x + m[5] * d.y + m[9] * d.z),
                    f * (m[2] * d.x + m[6] * d.y + m[10] * d.z)};
        if (weights != nullptr) {
            const double weight = weights[i];
            w.x = w.x * weight;
            w.y = w.y * weight;
            w.z = w.z * weight;
        }
        const Point3 n = {p.x + w.x, p.y + w.y, p.z + w.z};
        if (isfinite(n.x) && isfinite(n.y) && isfinite(n.z)) r_positions[i] = n;
    }
}

}  // namespace kestrin::bench
