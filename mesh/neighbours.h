// Edge neighbours of one mesh point.
#ifndef KESTRIN_NEIGHBOURS_H
#define KESTRIN_NEIGHBOURS_H

#include <stdint.h>

#include "kestrin_types.h"

// Returns the distinct points that share a polygon edge with pointIndex, in
// first-seen order (polygons as the host lists them; in each, the predecessor
// before the successor), and writes their number to *neighbourCount.
// The result is a calloc'd array of exactly that many entries, owned by the
// caller (release with free). Returns null, leaving *neighbourCount as the
// caller set it, when the point has no neighbours or memory runs out.
int32_t* collectNeighbours(HostHandle mesh, int32_t pointIndex, int32_t* neighbourCount);

#endif
