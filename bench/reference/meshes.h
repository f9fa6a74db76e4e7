// Procedural meshes for the benchmarks and the reference test: regular grids,
// triangulated spheres, a fan around one point and a mesh with many points
// that no polygon uses, each with a pose that stretches some regions and
// squashes others.
#ifndef KESTRIN_BENCH_MESHES_H
#define KESTRIN_BENCH_MESHES_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "kestrin_types.h"
#include "scene.h"

namespace kestrin::bench {

// Points with a rest and a posed position, polygons as one flat vertex array
// (polygon p spans polygonVertices[polygonStart[p] .. polygonStart[p + 1])).
struct MeshData {
    std::string name;
    std::vector<Point3> rest;
    std::vector<Point3> pose;
    std::vector<int32_t> polygonStart{0};
    std::vector<int32_t> polygonVertices;

    int32_t pointCount() const { return static_cast<int32_t>(rest.size()); }
    int32_t polygonCount() const { return static_cast<int32_t>(polygonStart.size()) - 1; }
    size_t cornerCount() const { return polygonVertices.size(); }
    void addPolygon(std::initializer_list<int32_t> vertices);
};

// A regular grid of unit quads in the xy plane with about `points` points
// (the nearest square side), quads wound counter-clockwise.
MeshData quadGrid(int32_t points);
// A regular grid of side `columns` x `rows` points.
MeshData quadGrid(int32_t columns, int32_t rows);
// A unit-radius sphere of about `points` points: latitude rings of triangle
// strips closed by a fan of triangles at each pole.
MeshData triangulatedSphere(int32_t points);
// A disc of `triangles` triangles that all share the centre point 0; the rim
// points 1 .. triangles close into a ring.
MeshData fan(int32_t triangles);
// A quad grid of about `gridPoints` points followed by `isolated` points that
// no polygon uses.
MeshData gridWithIsolatedPoints(int32_t gridPoints, int32_t isolated);

// Sets mesh.pose from mesh.rest with a smooth warp whose local scale varies
// between about 0.35 and 1.65 along each axis, so that some regions stretch,
// some squash and some stay near their rest lengths. `period` is the warp's
// wavelength in the mesh's units.
void applyStretchSquashPose(MeshData& mesh, double period);

// The rest points moved by `offset` (a target shape for the morpher).
std::vector<Point3> offsetTarget(const MeshData& mesh, Point3 offset);

// The mesh as the simulator holds it, at its rest shape (current = base), or
// at its pose when `posed`.
host::Mesh toHostMesh(const MeshData& mesh, bool posed);

}  // namespace kestrin::bench

#endif
