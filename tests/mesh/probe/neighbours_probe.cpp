#include "neighbours_probe.h"

#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include "binding.h"
#include "messages.h"
#include "neighbours.h"

// The library is linked with --wrap for calloc, realloc and free: every heap
// call of the code under test arrives here, and the real ones are __real_*.
extern "C" void* __real_calloc(size_t count, size_t size);
extern "C" void __real_free(void* block);

namespace {

// The size sits in a header that keeps the payload as aligned as malloc's;
// the guard bytes follow the payload.
constexpr size_t headerSize = alignof(max_align_t);
constexpr size_t guardSize = 16;
constexpr unsigned char guardByte = 0xFD;
static_assert(headerSize >= sizeof(size_t), "the header holds the payload size");

int32_t attempts = 0;
int32_t failingAttempt = -1;
int32_t live = 0;
int32_t overruns = 0;

size_t payloadSize(const void* payload) {
    size_t size = 0;
    memcpy(&size, static_cast<const unsigned char*>(payload) - headerSize, sizeof size);
    return size;
}

// A zero-filled payload of `size` bytes, or null when this attempt is to fail.
void* allocate(size_t size) {
    if (attempts++ == failingAttempt) return nullptr;
    if (size > SIZE_MAX - headerSize - guardSize) return nullptr;
    unsigned char* block =
        static_cast<unsigned char*>(__real_calloc(1, headerSize + size + guardSize));
    if (block == nullptr) return nullptr;
    memcpy(block, &size, sizeof size);
    memset(block + headerSize + size, guardByte, guardSize);
    ++live;
    return block + headerSize;
}

}  // namespace

extern "C" void* __wrap_calloc(size_t count, size_t size) {
    if (size != 0 && count > SIZE_MAX / size) {
        ++attempts;
        return nullptr;
    }
    return allocate(count * size);
}

extern "C" void __wrap_free(void* payload) {
    if (payload == nullptr) return;
    unsigned char* guard = static_cast<unsigned char*>(payload) + payloadSize(payload);
    for (size_t i = 0; i < guardSize; ++i) {
        if (guard[i] != guardByte) {
            ++overruns;
            break;
        }
    }
    --live;
    __real_free(static_cast<unsigned char*>(payload) - headerSize);
}

// Always moves the block, so that a stale pointer into the old one cannot go
// unnoticed; on failure the old block stays as it was.
extern "C" void* __wrap_realloc(void* payload, size_t size) {
    void* moved = allocate(size);
    if (moved == nullptr || payload == nullptr) return moved;
    const size_t old = payloadSize(payload);
    memcpy(moved, payload, old < size ? old : size);
    __wrap_free(payload);
    return moved;
}

int32_t probeBind(HostLookup lookup) {
    loadedGroups = 0;
    currentGroup = 0;
    hostLookup = lookup;
    return bindHostFunctions(BIND_ALL);
}

int32_t probeCollectNeighbours(HostHandle mesh, int32_t point, int32_t** r_neighbours,
                               int32_t* r_count) {
    return collectNeighbours(mesh, point, r_neighbours, r_count);
}

void probeFree(void* block) { free(block); }

void probeResetAllocations(void) {
    attempts = 0;
    failingAttempt = -1;
    live = 0;
    overruns = 0;
}

void probeFailAllocation(int32_t attempt) { failingAttempt = attempts + attempt; }
int32_t probeAllocationAttempts(void) { return attempts; }
int32_t probeLiveAllocations(void) { return live; }
int32_t probeOverruns(void) { return overruns; }
