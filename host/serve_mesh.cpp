// Mesh queries. Lists follow the count/capacity contract: the full count is
// always reported, at most `capacity` entries are written. An index out of
// range reads as a zero position or an empty list.
//
// These run once per position read, so each does its work first and records
// the call last: without a log the function then makes no call and needs no
// stack frame.

#include <algorithm>

#include "host.h"
#include "served.h"

namespace kestrin::host::served {
namespace {

const Mesh* meshOf(HostHandle handle) {
    const SceneObject* object = Host::active()->scene.object(handle);
    return object != nullptr ? &object->mesh : nullptr;
}

void copyList(const int32_t* list, int32_t count, int32_t* buffer, int32_t capacity,
              int32_t* countOut) {
    if (countOut != nullptr) *countOut = count;
    if (buffer == nullptr || list == nullptr || capacity <= 0) return;
    const int32_t n = std::min(count, capacity);
    // Most lists are a few entries long: a plain loop beats a library call,
    // and keeps the services free of calls (see above).
    for (int32_t k = 0; k < n; ++k) buffer[k] = list[k];
}

}  // namespace

int32_t fxMeshNumPoints(HostHandle mesh, int32_t* count, int32_t flags) {
    Host::active()->log.record(__func__, mesh, count, flags);
    const Mesh* m = meshOf(mesh);
    if (count != nullptr) *count = m != nullptr ? m->pointCount() : 0;
    return 0;
}

int32_t fxMeshPoint(HostHandle mesh, int32_t point, Point3* position, int32_t state) {
    const Mesh* m = meshOf(mesh);
    if (position != nullptr && (m == nullptr || !m->position(point, state, position))) {
        *position = Point3{0.0, 0.0, 0.0};
    }
    Host::active()->log.record(__func__, mesh, point, position, state);
    return 0;
}

int32_t fxMeshPointPolys(HostHandle mesh, int32_t point, int32_t* polygons, int32_t capacity,
                         int32_t* count, int32_t flags) {
    const Mesh* m = meshOf(mesh);
    int32_t n = 0;
    const int32_t* list = m != nullptr ? m->pointPolygons(point, &n) : nullptr;
    copyList(list, n, polygons, capacity, count);
    Host::active()->log.record(__func__, mesh, point, polygons, capacity, count, flags);
    return 0;
}

int32_t fxMeshPoly(HostHandle mesh, int32_t polygon, int32_t* vertices, int32_t capacity,
                   int32_t* count, int32_t* extra, int32_t flags) {
    const Mesh* m = meshOf(mesh);
    int32_t n = 0;
    const int32_t* list = m != nullptr ? m->polygonVertices(polygon, &n) : nullptr;
    copyList(list, n, vertices, capacity, count);
    Host::active()->log.record(__func__, mesh, polygon, vertices, capacity, count, extra,
                               flags);
    return 0;
}

}  // namespace kestrin::host::served
