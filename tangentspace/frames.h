// Per-point frames of a mesh at this evaluation.
#ifndef TANGENTSPACE_FRAMES_H
#define TANGENTSPACE_FRAMES_H

#include <stdint.h>

#include "kestrin_types.h"

// Writes each of the mesh's pointCount points' frames into frames
// (pointCount x FRAME_SIZE doubles): rows tangent, bitangent, normal,
// orthonormal and right-handed, from the mesh's positions at this evaluation
// (state 1). The normal is the sum of the vector areas of the point's
// polygons; the tangent is the edge to the point's first edge neighbour
// (polygons in the host's order; in each, the predecessor before the
// successor) that leaves the normal's direction, projected into the tangent
// plane. Built from the geometry alone, a frame turns with any rotation of
// the mesh and ignores translation and uniform scale. A point without a
// usable normal or tangent gets the identity. False when memory ran out;
// what was written then is incomplete and not to be used.
bool computeFrames(HostHandle mesh, int32_t pointCount, double* frames);

#endif
