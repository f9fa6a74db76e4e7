// The rest state of a weight tool instance: each point's neighbours and the
// mean length of its edges in the mesh's base shape.
#ifndef STRAINMARK_REST_STATE_H
#define STRAINMARK_REST_STATE_H

#include <stdint.h>

#include "edge_length.h"
#include "instance.h"
#include "kestrin_types.h"

// Replaces the tool's rest state with one built from the mesh: pointCount,
// the neighbour lists and their counts, the rest lengths, all owned by the
// record. Returns 1 and sets captured; on an exhausted heap returns 0 with
// nothing left allocated and captured 0.
int32_t captureRestState(WeightToolInstance* tool, HostHandle mesh);

#endif
