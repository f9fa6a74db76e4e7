#include "rest_state.h"

#include <errno.h>
#include <stdlib.h>

#include "host_api.h"
#include "neighbours.h"

int32_t captureRestState(WeightToolInstance* tool, HostHandle mesh) {
    freeRestState(tool);
    tool->captured = 0;

    int32_t n = 0;
    fxMeshNumPoints(mesh, &n, 0);
    if (n < 0) n = 0;
    tool->pointCount = n;

    // All three arrays are made before any is filled, so that running out of
    // memory is found before the host is asked about a single point. An empty
    // mesh may get null arrays; that is no failure.
    tool->neighbourCounts = static_cast<int32_t*>(calloc((size_t)n, sizeof(int32_t)));
    tool->neighbourLists = static_cast<int32_t**>(calloc((size_t)n, sizeof(int32_t*)));
    tool->restLengths = static_cast<double*>(calloc((size_t)n, sizeof(double)));
    if (n > 0 && (tool->neighbourCounts == nullptr || tool->neighbourLists == nullptr ||
                  tool->restLengths == nullptr)) {
        freeRestState(tool);
        return 0;
    }

    for (int32_t i = 0; i < n; ++i) {
        // collectNeighbours answers null both for a point without neighbours
        // and for an exhausted heap; errno tells the two apart, and a rest
        // state with a point wrongly left isolated must not be kept.
        errno = 0;
        tool->neighbourLists[i] = collectNeighbours(mesh, i, &tool->neighbourCounts[i]);
        if (tool->neighbourLists[i] == nullptr && errno == ENOMEM) {
            freeRestState(tool);
            return 0;
        }
    }
    for (int32_t i = 0; i < n; ++i) {
        tool->restLengths[i] =
            meanEdgeLength(mesh, i, tool->neighbourLists[i], tool->neighbourCounts[i], 0);
    }
    tool->captured = 1;
    return 1;
}
