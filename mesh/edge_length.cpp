#include "edge_length.h"

#include <math.h>

#include "host_api.h"

namespace {

// Neighbour positions are fetched this many at a time, then measured. With
// the host call between them, each square root would wait for the next
// call; a batch lets the processor work on its roots side by side. The sum
// still runs in list order, so the result is the same.
const int32_t READ_BATCH = 8;

double distance(Point3 p, Point3 q) {
    const double dx = p.x - q.x;
    const double dy = p.y - q.y;
    const double dz = p.z - q.z;
    return sqrt(dx * dx + dy * dy + dz * dz);
}

}  // namespace

double meanEdgeLength(HostHandle mesh, int32_t point, const int32_t* neighbours, int32_t count,
                      int32_t state) {
    // Read once: the compiler cannot know that the calls leave the pointer
    // alone, and would fetch it again for every neighbour.
    const auto readPoint = fxMeshPoint;
    Point3 p = {0.0, 0.0, 0.0};
    readPoint(mesh, point, &p, state);
    double sum = 0.0;
    Point3 batch[READ_BATCH];
    for (int32_t first = 0; first < count; first += READ_BATCH) {
        const int32_t n = count - first < READ_BATCH ? count - first : READ_BATCH;
        for (int32_t k = 0; k < n; ++k) {
            batch[k] = Point3{0.0, 0.0, 0.0};
            readPoint(mesh, neighbours[first + k], &batch[k], state);
        }
        for (int32_t k = 0; k < n; ++k) sum += distance(p, batch[k]);
    }
    return sum / (double)count;
}
