#include "rest_state.h"

#include <stdlib.h>

#include "edge_length.h"
#include "neighbours.h"

void releaseRestState(RestState* rest) {
    if (rest->neighbourLists != nullptr) {
        for (int32_t i = 0; i < rest->pointCount; ++i) free(rest->neighbourLists[i]);
        free(rest->neighbourLists);
    }
    free(rest->neighbourCounts);
    free(rest->restLengths);
    rest->pointCount = 0;
    rest->neighbourCounts = nullptr;
    rest->neighbourLists = nullptr;
    rest->restLengths = nullptr;
}

int32_t captureRestState(RestState* rest, HostHandle mesh, int32_t pointCount) {
    releaseRestState(rest);
    const int32_t n = pointCount > 0 ? pointCount : 0;

    // All three arrays are made before any is filled, so that running out of
    // memory is found before the host is asked about a single point. An empty
    // mesh still gets one-entry arrays: null always means failure.
    const size_t entries = n > 0 ? (size_t)n : 1;
    rest->neighbourCounts = static_cast<int32_t*>(calloc(entries, sizeof(int32_t)));
    rest->neighbourLists = static_cast<int32_t**>(calloc(entries, sizeof(int32_t*)));
    rest->restLengths = static_cast<double*>(calloc(entries, sizeof(double)));
    rest->pointCount = n;
    if (rest->neighbourCounts == nullptr || rest->neighbourLists == nullptr ||
        rest->restLengths == nullptr) {
        releaseRestState(rest);
        return 0;
    }

    // A point left without its list would later be measured as a point
    // without neighbours: a wrong result, so no rest state at all instead.
    for (int32_t i = 0; i < n; ++i) {
        if (collectNeighbours(mesh, i, &rest->neighbourLists[i], &rest->neighbourCounts[i]) ==
            NEIGHBOURS_OUT_OF_MEMORY) {
            releaseRestState(rest);
            return 0;
        }
    }
    for (int32_t i = 0; i < n; ++i) {
        rest->restLengths[i] =
            meanEdgeLength(mesh, i, rest->neighbourLists[i], rest->neighbourCounts[i], 0);
    }
    return 1;
}
