#include "grain_rest.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "host_api.h"

namespace {

// A growable list of int32, zero-filled as it grows. The host's lists (a
// point's polygons, a polygon's points) and a point's triangle corners are
// read into these, kept across points so that a capture allocates a few
// blocks, not a few per point.
struct IntList {
    int32_t* entries;
    size_t count;
    size_t capacity;
};

// Room for at least `wanted` entries. 0 when memory ran out (the list is
// then as it was).
int32_t reserveInts(IntList* list, size_t wanted) {
    if (wanted <= list->capacity) return 1;
    size_t capacity = list->capacity > 0 ? list->capacity : 16;
    while (capacity < wanted) {
        if (capacity > SIZE_MAX / 2 / sizeof(int32_t)) return 0;
        capacity *= 2;
    }
    int32_t* grown = static_cast<int32_t*>(calloc(capacity, sizeof(int32_t)));
    if (grown == nullptr) return 0;
    if (list->count > 0) memcpy(grown, list->entries, list->count * sizeof(int32_t));
    free(list->entries);
    list->entries = grown;
    list->capacity = capacity;
    return 1;
}

// Reads a host list in the host's two calls: the count with a one-entry
// scratch buffer, then the entries into a zero-filled list of that size.
// Returns 0 when memory ran out; a count of 0 or less gives an empty list.
template <typename Read>
int32_t readHostList(IntList* list, Read read) {
    int32_t scratch = 0;
    int32_t count = 0;
    list->count = 0;
    read(&scratch, 1, &count);
    if (count <= 0) return 1;
    if (!reserveInts(list, (size_t)count)) return 0;
    memset(list->entries, 0, (size_t)count * sizeof(int32_t));
    read(list->entries, count, &scratch);
    list->count = (size_t)count;
    return 1;
}

struct Vec {
    double x, y, z;
};
Vec sub(Point3 a, Point3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec add(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec scale(Vec a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double length(Vec a) { return sqrt(dot(a, a)); }

// A triangle's rest edges from its first corner, and their cross product.
struct RestTriangle {
    Vec e1, e2, normal;  // normal: e1 x e2, twice the area long
    double doubleArea;
};

// The triangle of corners c[0..2] at rest; 0 when it has no area. An edge
// product below a millionth of the edges' squared lengths is no area:
// rounding alone makes that much of three points in a line.
int32_t restTriangle(const Point3* rest, const int32_t* c, RestTriangle* r_triangle) {
    const Vec e1 = sub(rest[c[1]], rest[c[0]]);
    const Vec e2 = sub(rest[c[2]], rest[c[0]]);
    const Vec normal = cross(e1, e2);
    const double doubleArea = length(normal);
    const double edges = dot(e1, e1) + dot(e2, e2);
    if (!(doubleArea > 1e-6 * edges) || !isfinite(doubleArea) || !isfinite(edges)) return 0;
    *r_triangle = {e1, e2, normal, doubleArea};
    return 1;
}

// The rest tangent basis of a point with rest normal n: u along the world
// axis farthest from the normal, made tangent; v = n x u.
void tangentBasis(Vec n, Vec* r_u, Vec* r_v) {
    const double ax = fabs(n.x), ay = fabs(n.y), az = fabs(n.z);
    Vec axis = {0.0, 0.0, 1.0};
    if (ax <= ay && ax <= az) {
        axis = {1.0, 0.0, 0.0};
    } else if (ay <= az) {
        axis = {0.0, 1.0, 0.0};
    }
    const Vec u = add(axis, scale(n, -dot(axis, n)));
    *r_u = scale(u, 1.0 / length(u));
    *r_v = cross(n, *r_u);
}

// x turned by the smallest rotation taking unit n to unit m. Opposite
// normals (a triangle folded back at rest) have no smallest rotation: a half
// turn about `fallback`, a unit vector at right angles to n, stands for it.
Vec turned(Vec x, Vec n, Vec m, Vec fallback) {
    const double c = dot(n, m);
    if (!(1.0 + c > 1e-12)) return add(scale(fallback, 2.0 * dot(fallback, x)), scale(x, -1.0));
    const Vec k = cross(n, m);
    return add(add(scale(x, c), cross(k, x)), scale(k, dot(k, x) / (1.0 + c)));
}

// The pair of a point (tangent basis u, v, normal n, total doubled area of
// its triangles) with one of its triangles, into r_k. 0 when K is not finite.
int32_t pairFactor(const RestTriangle& t, Vec n, Vec u, Vec v, double pointDoubleArea,
                   float r_k[4]) {
    const double len1 = length(t.e1);
    const Vec t1 = scale(t.e1, 1.0 / len1);
    const Vec nt = scale(t.normal, 1.0 / t.doubleArea);
    const Vec t2 = cross(nt, t1);
    // The rest edges in the triangle's frame are [[len1, a], [0, b]].
    const double a = dot(t.e2, t1);
    const double b = t.doubleArea / len1;
    const double inv00 = 1.0 / len1, inv01 = -a / (len1 * b), inv11 = 1.0 / b;
    const Vec ru = turned(u, n, nt, u);
    const Vec rv = turned(v, n, nt, u);
    const double q00 = dot(ru, t1), q01 = dot(rv, t1), q10 = dot(ru, t2), q11 = dot(rv, t2);
    const double s = sqrt(t.doubleArea / pointDoubleArea);
    const double k[4] = {s * (inv00 * q00 + inv01 * q10), s * (inv00 * q01 + inv01 * q11),
                         s * inv11 * q10, s * inv11 * q11};
    for (int32_t i = 0; i < 4; ++i) {
        if (!isfinite(k[i])) return 0;
        r_k[i] = (float)k[i];
    }
    return 1;
}

struct Capture {
    HostHandle mesh;
    int32_t n;
    IntList polygons;
    IntList vertices;
    IntList corners;  // the point's usable triangles, three corners each
    size_t pairCapacity;
};

// Collects into capture->corners the triangles of point i's polygons that
// have area at rest and all corners among the captured points.
int32_t collectTriangles(Capture* capture, const Point3* rest, int32_t i) {
    capture->corners.count = 0;
    const HostHandle mesh = capture->mesh;
    if (!readHostList(&capture->polygons, [&](int32_t* to, int32_t capacity, int32_t* count) {
            fxMeshPointPolys(mesh, i, to, capacity, count, 0);
        })) {
        return 0;
    }
    for (size_t p = 0; p < capture->polygons.count; ++p) {
        const int32_t polygon = capture->polygons.entries[p];
        int32_t extra = 0;
        if (!readHostList(&capture->vertices, [&](int32_t* to, int32_t capacity, int32_t* count) {
                fxMeshPoly(mesh, polygon, to, capacity, count, &extra, 0);
            })) {
            return 0;
        }
        const int32_t* v = capture->vertices.entries;
        const size_t count = capture->vertices.count;
        for (size_t k = 1; k + 1 < count; ++k) {
            const int32_t c[3] = {v[0], v[k], v[k + 1]};
            bool inside = true;
            for (int32_t corner : c) inside = inside && corner >= 0 && corner < capture->n;
            RestTriangle unused;
            if (!inside || !restTriangle(rest, c, &unused)) continue;
            if (!reserveInts(&capture->corners, capture->corners.count + 3)) return 0;
            memcpy(capture->corners.entries + capture->corners.count, c, sizeof c);
            capture->corners.count += 3;
        }
    }
    return 1;
}

// Appends point i's pairs, one per collected triangle, and its tangents.
int32_t appendPairs(Capture* capture, GrainRest* rest, int32_t i) {
    const size_t triangles = capture->corners.count / 3;
    const int32_t* corners = capture->corners.entries;
    Vec sum = {0.0, 0.0, 0.0};
    double doubleArea = 0.0;
    RestTriangle first = {};
    for (size_t t = 0; t < triangles; ++t) {
        RestTriangle triangle;
        restTriangle(rest->pose, corners + 3 * t, &triangle);
        if (t == 0) first = triangle;
        sum = add(sum, triangle.normal);
        doubleArea += triangle.doubleArea;
    }
    // Triangles facing opposite ways can cancel: the first one's side then.
    if (triangles > 0 && !(length(sum) > 1e-6 * doubleArea)) sum = first.normal;
    Vec n = {0.0, 0.0, 1.0};
    if (triangles > 0) n = scale(sum, 1.0 / length(sum));
    Vec u, v;
    tangentBasis(n, &u, &v);
    const float basis[6] = {(float)u.x, (float)u.y, (float)u.z, (float)v.x, (float)v.y, (float)v.z};
    memcpy(rest->tangents + 6 * (size_t)i, basis, sizeof basis);

    size_t next = rest->firstPair[i];
    if (next + triangles > capture->pairCapacity) {
        size_t capacity = capture->pairCapacity > 16 ? capture->pairCapacity : 16;
        while (capacity < next + triangles) {
            if (capacity > SIZE_MAX / 2 / sizeof(GrainPair)) return 0;
            capacity *= 2;
        }
        GrainPair* grown = static_cast<GrainPair*>(realloc(rest->pairs, capacity * sizeof(GrainPair)));
        if (grown == nullptr) return 0;
        rest->pairs = grown;
        capture->pairCapacity = capacity;
    }
    for (size_t t = 0; t < triangles; ++t) {
        RestTriangle triangle;
        restTriangle(rest->pose, corners + 3 * t, &triangle);
        GrainPair pair;
        memcpy(pair.corner, corners + 3 * t, sizeof pair.corner);
        if (!pairFactor(triangle, n, u, v, doubleArea, pair.k)) continue;
        rest->pairs[next++] = pair;
    }
    rest->firstPair[i + 1] = next;
    return 1;
}

}  // namespace

void releaseGrainRest(GrainRest* rest) {
    free(rest->firstPair);
    free(rest->pairs);
    free(rest->tangents);
    free(rest->pose);
    *rest = GrainRest{0, nullptr, nullptr, nullptr, nullptr};
}

int32_t captureGrainRest(GrainRest* rest, HostHandle mesh, int32_t pointCount) {
    releaseGrainRest(rest);
    const int32_t n = pointCount > 0 ? pointCount : 0;
    const size_t entries = n > 0 ? (size_t)n : 1;
    // Room for four triangles a point to start with, grown as needed; a
    // count too large for that grows from one a point.
    const size_t firstCapacity = entries <= SIZE_MAX / 4 / sizeof(GrainPair) ? 4 * entries : entries;
    Capture capture = {mesh, n, {}, {}, {}, firstCapacity};
    rest->pointCount = n;
    rest->firstPair = static_cast<size_t*>(calloc(entries + 1, sizeof(size_t)));
    rest->tangents = static_cast<float*>(calloc(entries, 6 * sizeof(float)));
    rest->pose = static_cast<Point3*>(calloc(entries, sizeof(Point3)));
    rest->pairs = static_cast<GrainPair*>(calloc(capture.pairCapacity, sizeof(GrainPair)));
    int32_t ok = rest->firstPair != nullptr && rest->tangents != nullptr && rest->pose != nullptr &&
                 rest->pairs != nullptr;
    if (ok) {
        const auto readPoint = fxMeshPoint;
        for (int32_t i = 0; i < n; ++i) readPoint(mesh, i, &rest->pose[i], 0);
    }
    for (int32_t i = 0; ok && i < n; ++i) {
        ok = collectTriangles(&capture, rest->pose, i) && appendPairs(&capture, rest, i);
    }
    free(capture.polygons.entries);
    free(capture.vertices.entries);
    free(capture.corners.entries);
    if (!ok) releaseGrainRest(rest);
    return ok;
}
