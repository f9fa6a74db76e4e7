#include "edge_length.h"

#include <math.h>

#include "host_api.h"

double meanEdgeLength(HostHandle mesh, int32_t point, const int32_t* neighbours, int32_t count,
                      int32_t state) {
    Point3 p = {0.0, 0.0, 0.0};
    fxMeshPoint(mesh, point, &p, state);
    double sum = 0.0;
    for (int32_t k = 0; k < count; ++k) {
        Point3 q = {0.0, 0.0, 0.0};
        fxMeshPoint(mesh, neighbours[k], &q, state);
        const double dx = p.x - q.x;
        const double dy = p.y - q.y;
        const double dz = p.z - q.z;
        sum += sqrt(dx * dx + dy * dy + dz * dz);
    }
    return sum / (double)count;
}
