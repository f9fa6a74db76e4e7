// Edge neighbours of one mesh point, read through the host's mesh functions.
#ifndef KESTRIN_NEIGHBOURS_H
#define KESTRIN_NEIGHBOURS_H

#include <stdint.h>

#include "kestrin_types.h"

// What collectNeighbours reports. A caller that keeps the lists must tell the
// two apart: a point left without neighbours because the heap ran out would
// be measured as a point that has none.
enum : int32_t {
    NEIGHBOURS_OUT_OF_MEMORY = 0,  // a block could not be allocated; nothing was delivered
    NEIGHBOURS_COLLECTED = 1,      // the point's neighbourhood is complete, possibly empty
};

// Finds the distinct points that share a polygon edge with pointIndex, in
// first-seen order (polygons as the host lists them; in each, the predecessor
// before the successor).
// Returns NEIGHBOURS_COLLECTED with *r_neighbours a calloc'd array of exactly
// *r_count entries, owned by the caller (release with free); or, for a point
// without neighbours, with *r_neighbours null and *r_count as the caller set
// it. Returns NEIGHBOURS_OUT_OF_MEMORY when an allocation failed: then
// *r_neighbours is null, *r_count is as the caller set it, and no block made
// by the call is left allocated.
int32_t collectNeighbours(HostHandle mesh, int32_t pointIndex, int32_t** r_neighbours,
                          int32_t* r_count);

#endif
