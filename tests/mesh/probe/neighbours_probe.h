// A test-only library holding collectNeighbours exactly as the plug-ins build
// it (hidden, with the framework's module-wide host pointers), behind a thin
// exported interface. Its heap calls go through a counting allocator that can
// fail on request and that puts a guard after every block, so the tests see
// leaks, overruns and the handling of an exhausted heap.
#ifndef KESTRIN_NEIGHBOURS_PROBE_H
#define KESTRIN_NEIGHBOURS_PROBE_H

#include <stddef.h>
#include <stdint.h>

#include "kestrin_types.h"

#define PROBE_EXPORT extern "C" __attribute__((visibility("default")))

// Binds the host pointers through lookup as a plug-in's entry does, starting
// afresh each time (no group counts as loaded). Returns bindHostFunctions'
// answer.
PROBE_EXPORT int32_t probeBind(HostLookup lookup);

// collectNeighbours itself. Release the list with probeFree.
PROBE_EXPORT int32_t probeCollectNeighbours(HostHandle mesh, int32_t point, int32_t** r_neighbours,
                                            int32_t* r_count);
PROBE_EXPORT void probeFree(void* block);

// Forgets the counts below and any failure or limit asked for.
PROBE_EXPORT void probeResetAllocations(void);
// Makes the allocation attempt of that number (0 = the next one) fail.
PROBE_EXPORT void probeFailAllocation(int32_t attempt);
// Allocation attempts (calloc and realloc) since the last reset.
PROBE_EXPORT int32_t probeAllocationAttempts(void);
// Blocks allocated and not yet released.
PROBE_EXPORT int32_t probeLiveAllocations(void);
// Released blocks whose guard bytes had been overwritten.
PROBE_EXPORT int32_t probeOverruns(void);

#endif
