#include "alloc_count.h"

#include <stddef.h>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void __libc_free(void* pointer);
}

namespace {
// Benchmarks run on one thread; the counters need no atomics.
bool counting = false;
uint64_t allocations = 0;
}  // namespace

namespace kestrin::bench {
void countAllocations(bool on) { counting = on; }
uint64_t allocationCount() { return allocations; }
void resetAllocationCount() { allocations = 0; }
}  // namespace kestrin::bench

extern "C" {

void* malloc(size_t size) {
    if (counting) ++allocations;
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
    if (counting) ++allocations;
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, size_t size) {
    if (counting) ++allocations;
    return __libc_realloc(pointer, size);
}

void free(void* pointer) { __libc_free(pointer); }

}  // extern "C"
