// The rest state of a weight tool instance: each point's neighbours and the
// mean length of its edges in the mesh's base shape.
#ifndef STRAINMARK_REST_STATE_H
#define STRAINMARK_REST_STATE_H

#include <stdint.h>

#include "instance.h"
#include "kestrin_types.h"

// Sum of the distances from point to each of its count neighbours, in list
// order, over count; positions in the given state (0 base, 1 this
// evaluation) fetched from the host, the point's first. Not a number when
// count is 0.
double meanEdgeLength(HostHandle mesh, int32_t point, const int32_t* neighbours, int32_t count,
                      int32_t state);

// Replaces the tool's rest state with one built from the mesh: pointCount,
// the neighbour lists and their counts, the rest lengths, all owned by the
// record. Returns 1 and sets captured; on an exhausted heap returns 0 with
// nothing left allocated and captured 0.
int32_t captureRestState(WeightToolInstance* tool, HostHandle mesh);

#endif
