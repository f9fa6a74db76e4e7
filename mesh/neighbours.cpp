#include "neighbours.h"

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "host_api.h"

namespace {

// Working storage on the stack for the common case: a point of an ordinary
// mesh is used by a handful of polygons of a few vertices each. Larger counts
// take the heap, sized from the host's counts as before.
const int32_t LOCAL_POLYGONS = 32;
const int32_t LOCAL_VERTICES = 32;
const size_t LOCAL_PAIRS = 2 * LOCAL_POLYGONS;
// Up to this many pairs the first-seen filter scans the distinct entries kept
// so far; above it a hash set keeps the filter linear in the pair count (a
// point shared by a hundred thousand polygons would otherwise cost billions
// of comparisons).
const size_t SCAN_FILTER_LIMIT = 64;

// Predecessor/successor pairs of the point, two entries per occurrence.
// Counts are size_t: they derive from the host's polygon count, and twice a
// large 32-bit count must not wrap. `entries` is `local` until it has to grow
// past it, then a heap block owned by the buffer.
struct PairBuffer {
    int32_t* entries;
    size_t count;
    size_t capacity;
    int32_t local[LOCAL_PAIRS];
};

void releasePairs(PairBuffer* pairs) {
    if (pairs->entries != pairs->local) free(pairs->entries);
}

// Makes room for one more pair. A polygon that lists the point more than once
// adds one pair per occurrence, more than the one pair per polygon the buffer
// was sized for: grow it rather than write past it. Returns 0 when growing
// failed; the buffer is then unchanged.
int32_t reservePair(PairBuffer* pairs) {
    if (pairs->count + 2 <= pairs->capacity) return 1;
    if (pairs->capacity > SIZE_MAX / (2 * sizeof(int32_t)) - 2) return 0;
    const size_t capacity = pairs->capacity * 2 + 2;
    int32_t* grown = static_cast<int32_t*>(calloc(capacity, sizeof(int32_t)));
    if (grown == nullptr) return 0;
    memcpy(grown, pairs->entries, pairs->count * sizeof(int32_t));
    releasePairs(pairs);
    pairs->entries = grown;
    pairs->capacity = capacity;
    return 1;
}

// Appends the predecessor and successor of every occurrence of point in the
// polygon's boundary. The boundary is closed: the first vertex follows the
// last. A polygon of fewer than two vertices has no edge and adds nothing.
// Returns 0 when the buffer could not grow.
int32_t appendPairs(const int32_t* vertices, int32_t vertexCount, int32_t point,
                    PairBuffer* pairs) {
    if (vertexCount < 2) return 1;
    for (int32_t k = 0; k < vertexCount; ++k) {
        if (vertices[k] != point) continue;
        if (!reservePair(pairs)) return 0;
        pairs->entries[pairs->count++] = vertices[k == 0 ? vertexCount - 1 : k - 1];
        pairs->entries[pairs->count++] = vertices[k == vertexCount - 1 ? 0 : k + 1];
    }
    return 1;
}

// Collects the pairs of every polygon in the list. Returns 0 when memory ran
// out; what was collected stays in the buffer.
int32_t collectPairs(HostHandle mesh, int32_t pointIndex, const int32_t* polygons,
                     int32_t polygonCount, PairBuffer* pairs) {
    int32_t scratch = 0;
    int32_t local[LOCAL_VERTICES];
    for (int32_t p = 0; p < polygonCount; ++p) {
        int32_t vertexCount = 0;
        int32_t extra = 0;
        fxMeshPoly(mesh, polygons[p], &scratch, 1, &vertexCount, &extra, 0);
        if (vertexCount <= 0) continue;
        int32_t* vertices = local;
        if (vertexCount > LOCAL_VERTICES) {
            vertices = static_cast<int32_t*>(calloc(vertexCount, sizeof(int32_t)));
            if (vertices == nullptr) return 0;
        } else {
            // Zero-filled like a heap list. Only the entries the host was
            // asked for: a handful of stores beats clearing the whole array.
            for (int32_t k = 0; k < vertexCount; ++k) local[k] = 0;
        }
        fxMeshPoly(mesh, polygons[p], vertices, vertexCount, &scratch, &extra, 0);
        const int32_t appended = appendPairs(vertices, vertexCount, pointIndex, pairs);
        if (vertices != local) free(vertices);
        if (!appended) return 0;
    }
    return 1;
}

// Keeps the first occurrence of each entry, in order, by comparing each entry
// with the distinct ones kept before it. Returns the distinct count.
size_t filterByScan(int32_t* entries, size_t count) {
    size_t unique = 0;
    for (size_t a = 0; a < count; ++a) {
        const int32_t value = entries[a];
        size_t b = 0;
        while (b < unique && entries[b] != value) ++b;
        if (b == unique) entries[unique++] = value;
    }
    return unique;
}

// The same filter with an open-addressed hash set of the values kept so far.
// Returns the distinct count, or 0 when the set could not be allocated.
size_t filterByHash(int32_t* entries, size_t count) {
    size_t slots = 16;
    while (slots < 2 * count) slots *= 2;
    // A slot holds value + 1 as an unsigned number, so that 0 marks it free
    // for every 32-bit value.
    uint64_t* set = static_cast<uint64_t*>(calloc(slots, sizeof(uint64_t)));
    if (set == nullptr) return 0;
    const size_t mask = slots - 1;
    size_t unique = 0;
    for (size_t a = 0; a < count; ++a) {
        const int32_t value = entries[a];
        const uint64_t key = static_cast<uint64_t>(static_cast<uint32_t>(value)) + 1;
        size_t slot = static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & mask;
        while (set[slot] != 0 && set[slot] != key) slot = (slot + 1) & mask;
        if (set[slot] == key) continue;
        set[slot] = key;
        entries[unique++] = value;
    }
    free(set);
    return unique;
}

}  // namespace

int32_t collectNeighbours(HostHandle mesh, int32_t pointIndex, int32_t** r_neighbours,
                          int32_t* r_count) {
    *r_neighbours = nullptr;
    int32_t scratch = 0;
    int32_t polygonCount = 0;
    fxMeshPointPolys(mesh, pointIndex, &scratch, 1, &polygonCount, 0);
    if (polygonCount <= 0) return NEIGHBOURS_COLLECTED;

    // Zero-filled like a heap list, in case the host writes fewer entries
    // than it counted.
    int32_t localPolygons[LOCAL_POLYGONS];
    int32_t* polygons = localPolygons;
    if (polygonCount > LOCAL_POLYGONS) {
        polygons = static_cast<int32_t*>(calloc(polygonCount, sizeof(int32_t)));
        if (polygons == nullptr) return NEIGHBOURS_OUT_OF_MEMORY;
    } else {
        for (int32_t k = 0; k < polygonCount; ++k) localPolygons[k] = 0;
    }
    // The count this second call reports goes to the scratch entry: the first
    // call's count stays in force.
    fxMeshPointPolys(mesh, pointIndex, polygons, polygonCount, &scratch, 0);

    PairBuffer pairs;
    pairs.entries = pairs.local;
    pairs.count = 0;
    pairs.capacity = LOCAL_PAIRS;
    if (2 * static_cast<size_t>(polygonCount) > LOCAL_PAIRS) {
        pairs.capacity = 2 * static_cast<size_t>(polygonCount);
        pairs.entries = static_cast<int32_t*>(calloc(pairs.capacity, sizeof(int32_t)));
    }
    const int32_t collected = pairs.entries != nullptr &&
                              collectPairs(mesh, pointIndex, polygons, polygonCount, &pairs);
    if (polygons != localPolygons) free(polygons);
    if (!collected) {
        if (pairs.entries != nullptr) releasePairs(&pairs);
        return NEIGHBOURS_OUT_OF_MEMORY;
    }
    if (pairs.count == 0) {
        releasePairs(&pairs);
        return NEIGHBOURS_COLLECTED;
    }

    // Both filters keep at least the first entry, so a distinct count of 0
    // can only mean that the hash set could not be allocated.
    const size_t unique = pairs.count <= SCAN_FILTER_LIMIT
                              ? filterByScan(pairs.entries, pairs.count)
                              : filterByHash(pairs.entries, pairs.count);
    int32_t* result = nullptr;
    if (unique > 0) result = static_cast<int32_t*>(calloc(unique, sizeof(int32_t)));
    if (result != nullptr) memcpy(result, pairs.entries, unique * sizeof(int32_t));
    releasePairs(&pairs);
    if (result == nullptr) return NEIGHBOURS_OUT_OF_MEMORY;
    *r_neighbours = result;
    *r_count = static_cast<int32_t>(unique);
    return NEIGHBOURS_COLLECTED;
}
