// Counts the heap allocations made while counting is on, by the benchmark
// program and by the plug-ins it loaded (their calls resolve to this
// program's malloc family, which forwards to the C library's).
#ifndef KESTRIN_BENCH_ALLOC_COUNT_H
#define KESTRIN_BENCH_ALLOC_COUNT_H

#include <stdint.h>

namespace kestrin::bench {

void countAllocations(bool on);
// Allocations (malloc, calloc, realloc) since the counter was last reset.
uint64_t allocationCount();
void resetAllocationCount();

}  // namespace kestrin::bench

#endif
