#include "freed_memory.h"

#include <malloc.h>

#include <cstddef>

// jemalloc's control call, where the tool links jemalloc (main.cpp); absent
// (null) in programs that link this library without it.
extern "C" int mallctl(const char* name, void* oldp, size_t* oldlenp, void* newp, size_t newlen)
    __attribute__((weak));

namespace kestrin::tool {

void returnFreedMemory() {
    if (mallctl != nullptr) {
        // 4096 is jemalloc's MALLCTL_ARENAS_ALL: every arena at once.
        mallctl("arena.4096.purge", nullptr, nullptr, nullptr, 0);
        return;
    }
    malloc_trim(0);
}

}  // namespace kestrin::tool
