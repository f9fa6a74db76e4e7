// Grainmark's rest state: for every point, what turns the current positions
// of its polygons' triangles into the strain of the surface at the point,
// in the point's rest tangent plane.
//
// For a triangle t of one of the point's polygons (polygons fan-triangulated
// from their first vertex), F_t maps the triangle's rest plane onto its
// current edges e1, e2: F_t = [e1 e2] R_t^-1, with R_t the rest edges in
// the triangle's own frame. The point's tensor is the rest-area-weighted
// mean of F_t^T F_t over those triangles, each turned into the point's
// tangent plane by the smallest rotation taking the point's rest normal to
// the triangle's. For a pair (point, triangle) the rest state keeps
// K = sqrt(area_t / area_p) R_t^-1 Q_t (2x2, Q_t the point's tangent basis
// seen in the triangle's frame), so that the point's tensor is
// sum K^T [e1 e2]^T [e1 e2] K over its pairs.
#ifndef GRAINMARK_GRAIN_REST_H
#define GRAINMARK_GRAIN_REST_H

#include <stddef.h>
#include <stdint.h>

#include "kestrin_types.h"

// One triangle as one point sees it.
typedef struct GrainPair {
    int32_t corner[3];  // the triangle's points: the fan's first, then two in boundary order
    float k[4];         // K by rows: k00, k01, k10, k11
} GrainPair;

// Either empty (pointCount 0, every pointer null) or complete for pointCount
// points, every array owned here.
typedef struct GrainRest {
    int32_t pointCount;
    size_t* firstPair;  // pointCount + 1 entries: point i's pairs are firstPair[i] .. firstPair[i+1]-1
    GrainPair* pairs;   // firstPair[pointCount] entries (at least one allocated)
    float* tangents;    // 6 per point: the rest tangent basis u, then v (u x v is the rest normal)
    Point3* pose;       // pointCount positions: the pose of the scan in progress
} GrainRest;

// Releases the old rest state, then builds one for the mesh's first
// pointCount points (negative counts as 0) from their base positions.
// Triangles with a corner outside those points, and triangles of no area at
// rest, are left out; a point left without triangles has no pairs. Returns 1
// with the rest state complete, or 0 with it empty when memory ran out.
int32_t captureGrainRest(GrainRest* rest, HostHandle mesh, int32_t pointCount);

// Releases everything and leaves the rest state empty.
void releaseGrainRest(GrainRest* rest);

#endif
