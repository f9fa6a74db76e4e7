// The meshes the benchmarks run on, built on first use. Only one case is held
// at a time: the large ones take hundreds of megabytes, and the benchmarks of
// one case run one after another.
#ifndef KESTRIN_BENCH_CASES_H
#define KESTRIN_BENCH_CASES_H

#include <stdint.h>

#include <string>
#include <vector>

#include "meshes.h"
#include "reference.h"

namespace kestrin::bench {

enum class MeshKind { Grid, Sphere, Fan, Isolated };

struct CaseSpec {
    MeshKind kind;
    int32_t size;       // points (fan: triangles; isolated: grid points, as many isolated)
    std::string label;  // "grid/1M"
};

// A mesh with its targets and the reference's state, ready for the passes.
struct Case {
    CaseSpec caseSpec;
    MeshData mesh;
    std::vector<Point3> stretchTarget;
    std::vector<Point3> squashTarget;

    // The reference's rest state and its outputs, made by prepareReference.
    Neighbours neighbours;
    std::vector<double> restLengths;
    std::vector<Point3> stretchDeltas;
    std::vector<Point3> squashDeltas;
    std::vector<float> weights;
    std::vector<double> tensions;
    std::vector<Point3> positions;

    int32_t points() const { return mesh.pointCount(); }
    void prepareReference();
};

// The case of that caseSpec, building it (and dropping the previous one) when it
// is not the one held.
Case& useCase(const CaseSpec& caseSpec);
// Drops the held case and everything made for it.
void dropCase();

}  // namespace kestrin::bench

#endif
