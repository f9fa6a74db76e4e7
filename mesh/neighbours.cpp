#include "neighbours.h"

#include <stdlib.h>
#include <string.h>

#include "host_api.h"

namespace {

// Appends the predecessor and successor of every occurrence of point in the
// polygon's boundary. The boundary is closed: the first vertex follows the
// last. A polygon of fewer than two vertices has no edge and adds nothing.
// Returns the new pair count, or -1 when growing the buffer failed.
int32_t appendPairs(const int32_t* vertices, int32_t vertexCount, int32_t point,
                    int32_t** pairs, int32_t* pairCount, int32_t* pairCapacity) {
    if (vertexCount < 2) return *pairCount;
    for (int32_t k = 0; k < vertexCount; ++k) {
        if (vertices[k] != point) continue;
        // A polygon that lists the point more than once adds one pair per
        // occurrence, more than the one pair per polygon the buffer was sized
        // for: grow it rather than write past it.
        if (*pairCount + 2 > *pairCapacity) {
            const int32_t capacity = *pairCapacity * 2 + 2;
            int32_t* grown = static_cast<int32_t*>(realloc(*pairs, sizeof(int32_t) * capacity));
            if (grown == nullptr) return -1;
            *pairs = grown;
            *pairCapacity = capacity;
        }
        const int32_t before = vertices[k == 0 ? vertexCount - 1 : k - 1];
        const int32_t after = vertices[k == vertexCount - 1 ? 0 : k + 1];
        (*pairs)[(*pairCount)++] = before;
        (*pairs)[(*pairCount)++] = after;
    }
    return *pairCount;
}

bool seenBefore(const int32_t* entries, int32_t position) {
    for (int32_t b = 0; b < position; ++b) {
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
    int32_t pairCapacity = 2 * polygonCount;
    int32_t* pairs = static_cast<int32_t*>(calloc(pairCapacity, sizeof(int32_t)));
    if (polygons == nullptr || pairs == nullptr) {
        free(polygons);
        free(pairs);
        return nullptr;
    }
    // The count this second call reports goes to the scratch entry: the first
    // call's count stays in force.
    fxMeshPointPolys(mesh, pointIndex, polygons, polygonCount, &scratch, 0);

    int32_t pairCount = 0;
    bool failed = false;
    for (int32_t p = 0; p < polygonCount && !failed; ++p) {
        int32_t vertexCount = 0;
        int32_t extra = 0;
        fxMeshPoly(mesh, polygons[p], &scratch, 1, &vertexCount, &extra, 0);
        if (vertexCount <= 0) continue;
        int32_t* vertices = static_cast<int32_t*>(calloc(vertexCount, sizeof(int32_t)));
        if (vertices == nullptr) {
            failed = true;
            break;
        }
        fxMeshPoly(mesh, polygons[p], vertices, vertexCount, &scratch, &extra, 0);
        failed = appendPairs(vertices, vertexCount, pointIndex, &pairs, &pairCount,
                             &pairCapacity) < 0;
        free(vertices);
    }
    free(polygons);
    if (failed || pairCount == 0) {
        free(pairs);
        return nullptr;
    }

    int32_t unique = 0;
    for (int32_t a = 0; a < pairCount; ++a) {
        if (!seenBefore(pairs, a)) ++unique;
    }
    int32_t* result = static_cast<int32_t*>(calloc(unique, sizeof(int32_t)));
    if (result != nullptr) {
        int32_t next = 0;
        for (int32_t a = 0; a < pairCount; ++a) {
            if (!seenBefore(pairs, a)) result[next++] = pairs[a];
        }
        *neighbourCount = unique;
    }
    free(pairs);
    return result;
}
