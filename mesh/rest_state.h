// The rest state both plug-ins measure tension against: each point's edge
// neighbours and the mean length of its edges in the mesh's base shape, read
// through the host's mesh functions.
#ifndef KESTRIN_REST_STATE_H
#define KESTRIN_REST_STATE_H

#include <stdint.h>

#include "kestrin_types.h"

// Either empty (pointCount 0, every pointer null) or complete for pointCount
// points; each array then holds pointCount entries and is owned here.
typedef struct RestState {
    int32_t pointCount;        // points the arrays cover
    int32_t* neighbourCounts;  // length of each point's list; 0 for a point without neighbours
    int32_t** neighbourLists;  // each point's neighbours; null for a point without neighbours
    double* restLengths;       // each point's mean edge length in the base shape
} RestState;

// Releases the old rest state, then builds one for the mesh's first
// pointCount points (a negative count counts as 0): every point's neighbours,
// then every point's rest length from base positions. Returns 1 with the rest
// state complete; when an allocation fails returns 0 with the rest state
// empty, nothing of the attempt left allocated.
int32_t captureRestState(RestState* rest, HostHandle mesh, int32_t pointCount);

// Releases every list (the first pointCount entries), then the arrays, and
// leaves the rest state empty. An empty rest state stays as it is.
void releaseRestState(RestState* rest);

#endif
