// Mean length of the edges around a point.
#ifndef KESTRIN_EDGE_LENGTH_H
#define KESTRIN_EDGE_LENGTH_H

#include <stdint.h>

#include "kestrin_types.h"

// Sum of the distances from point to each of its count neighbours, in list
// order, over count; positions in the given state (0 base, 1 this
// evaluation) fetched from the host, the point's first. Not a number when
// count is 0.
double meanEdgeLength(HostHandle mesh, int32_t point, const int32_t* neighbours, int32_t count,
                      int32_t state);

#endif
