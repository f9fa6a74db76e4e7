#include "neighbours.h"

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "host_api.h"

namespace {

// Predecessor/successor pairs of the point, two entries per occurrence.
// Counts are size_t: they derive from the host's polygon count, and twice a
// large 32-bit count must not wrap.
struct PairBuffer {
    int32_t* entries;
    size_t count;
    size_t capacity;
};

// Makes room for one more pair. A polygon that lists the point more than once
// adds one pair per occurrence, more than the one pair per polygon the buffer
// was sized for: grow it rather than write past it. Returns 0 when growing
// failed; the buffer is then unchanged and still owned by the caller.
int32_t reservePair(PairBuffer* pairs) {
    if (pairs->count + 2 <= pairs->capacity) return 1;
    if (pairs->capacity > SIZE_MAX / (2 * sizeof(int32_t)) - 2) return 0;
    const size_t capacity = pairs->capacity * 2 + 2;
    int32_t* grown = static_cast<int32_t*>(realloc(pairs->entries, capacity * sizeof(int32_t)));
    if (grown == nullptr) return 0;
    memset(grown + pairs->capacity, 0, (capacity - pairs->capacity) * sizeof(int32_t));
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
// out; what was collected stays in the buffer, owned by the caller.
int32_t collectPairs(HostHandle mesh, int32_t pointIndex, const int32_t* polygons,
                     int32_t polygonCount, PairBuffer* pairs) {
    int32_t scratch = 0;
    for (int32_t p = 0; p < polygonCount; ++p) {
        int32_t vertexCount = 0;
        int32_t extra = 0;
        fxMeshPoly(mesh, polygons[p], &scratch, 1, &vertexCount, &extra, 0);
        if (vertexCount <= 0) continue;
        int32_t* vertices = static_cast<int32_t*>(calloc(vertexCount, sizeof(int32_t)));
        if (vertices == nullptr) return 0;
        fxMeshPoly(mesh, polygons[p], vertices, vertexCount, &scratch, &extra, 0);
        const int32_t appended = appendPairs(vertices, vertexCount, pointIndex, pairs);
        free(vertices);
        if (!appended) return 0;
    }
    return 1;
}

bool seenBefore(const int32_t* entries, size_t position) {
    for (size_t b = 0; b < position; ++b) {
        if (entries[b] == entries[position]) return true;
    }
    return false;
}

}  // namespace

int32_t* collectNeighbours(HostHandle mesh, int32_t pointIndex, int32_t* neighbourCount) {
    int32_t scratch = 0;
    int32_t polygonCount = 0;
    fxMeshPointPolys(mesh, pointIndex, &scratch, 1, &polygonCount, 0);
    if (polygonCount <= 0) return nullptr;

    int32_t* polygons = static_cast<int32_t*>(calloc(polygonCount, sizeof(int32_t)));
    if (polygons == nullptr) return nullptr;
    // The count this second call reports goes to the scratch entry: the first
    // call's count stays in force.
    fxMeshPointPolys(mesh, pointIndex, polygons, polygonCount, &scratch, 0);

    PairBuffer pairs = {nullptr, 0, 2 * static_cast<size_t>(polygonCount)};
    pairs.entries = static_cast<int32_t*>(calloc(pairs.capacity, sizeof(int32_t)));
    const int32_t collected = pairs.entries != nullptr &&
                              collectPairs(mesh, pointIndex, polygons, polygonCount, &pairs);
    free(polygons);
    if (!collected || pairs.count == 0) {
        free(pairs.entries);
        return nullptr;
    }

    size_t unique = 0;
    for (size_t a = 0; a < pairs.count; ++a) {
        if (!seenBefore(pairs.entries, a)) ++unique;
    }
    int32_t* result = static_cast<int32_t*>(calloc(unique, sizeof(int32_t)));
    if (result != nullptr) {
        size_t next = 0;
        for (size_t a = 0; a < pairs.count; ++a) {
            if (!seenBefore(pairs.entries, a)) result[next++] = pairs.entries[a];
        }
        *neighbourCount = static_cast<int32_t>(unique);
    }
    free(pairs.entries);
    return result;
}
