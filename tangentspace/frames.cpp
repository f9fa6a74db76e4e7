// The frames of a whole mesh in two steps. First, on the calling thread,
// everything asked of the host: the positions, once; each polygon's
// vertices, once however many points use it; each point's polygons. Then
// the arithmetic alone, which needs nothing more from the host, split
// between threads on a large mesh: a mesh of a quarter of a million points
// is recalculated every frame of a shot, on the thread that drives the
// plug-ins, and its frames were most of that thread's time. The host is
// only ever called from the calling thread; nothing is allocated per point.
#include "frames.h"

#include <math.h>
#include <pthread.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <atomic>

#include "host_api.h"
#include "tangent_space.h"

namespace {

// Relative sizes below which a normal or tangent is taken as cancelled out:
// measured against the magnitudes they came from, so the test is the same at
// every scale.
const double NORMAL_TOLERANCE = 1e-12;
const double TANGENT_TOLERANCE = 1e-9;

struct Vec {
    double x, y, z;
};

Vec sub(Point3 a, Point3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec cross(Vec a, Vec b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double length(Vec a) { return sqrt(dot(a, a)); }
Vec scaled(Vec a, double s) { return {a.x * s, a.y * s, a.z * s}; }

// A growing list of indices, kept for the whole calculation.
struct List {
    int32_t* entries;
    int32_t count;
    int32_t capacity;
};

// Room for `more` entries after the list's count. False when memory ran out
// (or the list would pass INT32_MAX entries); the list is then as it was.
bool makeRoom(List* list, int32_t more) {
    if (more > INT32_MAX - list->count) return false;
    const int32_t needed = list->count + more;
    if (needed <= list->capacity) return true;
    int32_t capacity = list->capacity > 0 ? list->capacity : 64;
    while (capacity < needed) capacity = capacity > INT32_MAX / 2 ? INT32_MAX : capacity * 2;
    int32_t* grown = static_cast<int32_t*>(realloc(list->entries, (size_t)capacity * sizeof(int32_t)));
    if (grown == nullptr) return false;
    list->entries = grown;
    list->capacity = capacity;
    return true;
}

// Room for `capacity` entries in all, allocated once. False when memory ran out.
bool reserve(List* list, int64_t capacity) {
    if (capacity > INT32_MAX) capacity = INT32_MAX;
    if (capacity <= list->capacity) return true;
    int32_t* grown = static_cast<int32_t*>(realloc(list->entries, (size_t)capacity * sizeof(int32_t)));
    if (grown == nullptr) return false;
    list->entries = grown;
    list->capacity = (int32_t)capacity;
    return true;
}

// Polygons this large an index or larger are read for each point that uses
// them rather than kept: their index alone would size the table.
const int32_t KEPT_POLYGON_LIMIT = 1 << 26;

// One calculation: the mesh, its positions, the polygons read so far (each
// is read from the host once, however many of its points use it), and every
// point's polygons.
struct Pass {
    HostHandle mesh;
    const Point3* positions;  // pointCount, read at the start
    int32_t pointCount;
    List corners;      // vertices of the polygons read, one polygon after another
    List keptStart;    // by polygon index: where its vertices start in corners, -1 before it is read
    List keptCount;    // by polygon index: how many there are
    List polygons;     // scratch: one point's polygon indices, as the host gives them
    List firstUse;     // by point: its polygons are uses firstUse[p] to firstUse[p + 1] - 1
    List useStart;     // by use (a point's polygon): corners[useStart[u]], useCount[u] vertices
    List useCount;
    bool outside;      // a polygon names a point beyond the mesh
};

void release(Pass* pass) {
    List* lists[] = {&pass->corners, &pass->keptStart, &pass->keptCount, &pass->polygons, &pass->firstUse,
                     &pass->useStart, &pass->useCount};
    for (List* list : lists) free(list->entries);
}

// The host's answer for a point outside the mesh, as a direct lookup would
// get it; kept out of line so that the common case below stays small.
__attribute__((noinline)) Point3 askedPosition(const Pass& pass, int32_t point) {
    Point3 p = {0.0, 0.0, 0.0};
    fxMeshPoint(pass.mesh, point, &p, 1);
    return p;
}

inline Point3 positionOf(const Pass& pass, int32_t point) {
    if (point >= 0 && point < pass.pointCount) return pass.positions[point];
    return askedPosition(pass, point);
}

// Room asked of the host in a list's first call: most polygons and most
// points' polygon lists fit, so one call reads them; a longer one is asked
// again with room for all of it.
const int32_t FIRST_ASK = 16;

// Reads a polygon's vertices from the host onto the end of corners (zero-
// filled first, in case the host writes fewer than it counted); *start and
// *count say where. False when memory ran out.
bool readPolygon(Pass* pass, int32_t polygon, int32_t* start, int32_t* count) {
    int32_t scratch = 0;
    int32_t extra = 0;
    int32_t vertexCount = 0;
    if (!makeRoom(&pass->corners, FIRST_ASK)) return false;
    int32_t* vertices = pass->corners.entries + pass->corners.count;
    memset(vertices, 0, FIRST_ASK * sizeof(int32_t));
    fxMeshPoly(pass->mesh, polygon, vertices, FIRST_ASK, &vertexCount, &extra, 0);
    *start = pass->corners.count;
    *count = vertexCount > 0 ? vertexCount : 0;
    if (vertexCount <= 0) return true;
    if (vertexCount > FIRST_ASK) {
        if (!makeRoom(&pass->corners, vertexCount)) return false;
        vertices = pass->corners.entries + pass->corners.count;
        memset(vertices, 0, (size_t)vertexCount * sizeof(int32_t));
        fxMeshPoly(pass->mesh, polygon, vertices, vertexCount, &scratch, &extra, 0);
    }
    pass->corners.count += vertexCount;
    return true;
}

// Where a polygon's vertices are, reading it the first time it is asked for.
bool findPolygon(Pass* pass, int32_t polygon, int32_t* start, int32_t* count) {
    if (polygon < 0 || polygon >= KEPT_POLYGON_LIMIT) return readPolygon(pass, polygon, start, count);
    List& kept = pass->keptStart;
    if (polygon >= kept.count) {
        const int32_t more = polygon + 1 - kept.count;
        if (!makeRoom(&kept, more) || !makeRoom(&pass->keptCount, more)) return false;
        memset(kept.entries + kept.count, 0xff, (size_t)more * sizeof(int32_t));  // -1: not read
        kept.count += more;
        pass->keptCount.count += more;
    }
    if (kept.entries[polygon] < 0) {
        if (!readPolygon(pass, polygon, &kept.entries[polygon], &pass->keptCount.entries[polygon])) return false;
    }
    *start = kept.entries[polygon];
    *count = pass->keptCount.entries[polygon];
    return true;
}

// Appends the point's polygons to the uses, reading any polygon not read
// before. False when memory ran out.
bool readPolygons(Pass* pass, int32_t point) {
    int32_t scratch = 0;
    int32_t count = 0;
    if (!makeRoom(&pass->polygons, FIRST_ASK)) return false;
    memset(pass->polygons.entries, 0, FIRST_ASK * sizeof(int32_t));
    fxMeshPointPolys(pass->mesh, point, pass->polygons.entries, FIRST_ASK, &count, 0);
    if (count <= 0) return true;
    if (!makeRoom(&pass->polygons, count) || !makeRoom(&pass->useStart, count) ||
        !makeRoom(&pass->useCount, count)) {
        return false;
    }
    if (count > FIRST_ASK) {
        memset(pass->polygons.entries, 0, (size_t)count * sizeof(int32_t));
        fxMeshPointPolys(pass->mesh, point, pass->polygons.entries, count, &scratch, 0);
    }
    int32_t* starts = pass->useStart.entries + pass->useStart.count;
    int32_t* counts = pass->useCount.entries + pass->useCount.count;
    for (int32_t k = 0; k < count; ++k) {
        if (!findPolygon(pass, pass->polygons.entries[k], &starts[k], &counts[k])) return false;
    }
    pass->useStart.count += count;
    pass->useCount.count += count;
    return true;
}

// The lists sized at once from a count of every point's polygons: grown by
// doubling, a large mesh's lists would leave each size they outgrew behind in
// the allocator, as much memory again as they hold. A polygon's corners are
// its points' uses of it (where it names each point once), so the count
// sizes the corners too; a list that needs more still grows.
bool reserveLists(Pass* pass) {
    int32_t firstPolygons[FIRST_ASK];
    int64_t uses = 0;
    int32_t largestPolygon = -1;
    for (int32_t i = 0; i < pass->pointCount; ++i) {
        int32_t count = 0;
        memset(firstPolygons, 0, sizeof firstPolygons);
        fxMeshPointPolys(pass->mesh, i, firstPolygons, FIRST_ASK, &count, 0);
        if (count <= 0) continue;
        uses += count;
        // Listed ascending: the last of those given is the largest known.
        const int32_t last = firstPolygons[(count < FIRST_ASK ? count : FIRST_ASK) - 1];
        if (last > largestPolygon && last < KEPT_POLYGON_LIMIT) largestPolygon = last;
    }
    return reserve(&pass->useStart, uses) && reserve(&pass->useCount, uses) &&
           reserve(&pass->corners, uses + FIRST_ASK) && reserve(&pass->keptStart, (int64_t)largestPolygon + 1) &&
           reserve(&pass->keptCount, (int64_t)largestPolygon + 1);
}

// Everything the arithmetic needs from the host. False when memory ran out.
bool readLists(Pass* pass) {
    const int32_t n = pass->pointCount;
    if (!makeRoom(&pass->firstUse, n + 1) || !reserveLists(pass)) return false;
    for (int32_t i = 0; i < n; ++i) {
        pass->firstUse.entries[i] = pass->useStart.count;
        if (!readPolygons(pass, i)) return false;
    }
    pass->firstUse.entries[n] = pass->useStart.count;
    pass->outside = false;
    for (int32_t c = 0; c < pass->corners.count; ++c) {
        const int32_t vertex = pass->corners.entries[c];
        if (vertex < 0 || vertex >= n) pass->outside = true;
    }
    return true;
}

// One point's polygons, as the arithmetic reads them.
struct PointPolygons {
    const int32_t* starts;
    const int32_t* counts;
    int32_t count;
};

PointPolygons polygonsOf(const Pass& pass, int32_t point) {
    const int32_t first = pass.firstUse.entries[point];
    return {pass.useStart.entries + first, pass.useCount.entries + first, pass.firstUse.entries[point + 1] - first};
}

// Twice the vector area of polygon k, taken about the point p so that the
// sum does not lose precision far from the origin. Adds |area| to *magnitude.
Vec polygonArea(const Pass& pass, const PointPolygons& polygons, int32_t k, Point3 p, double* magnitude) {
    Vec area = {0.0, 0.0, 0.0};
    const int32_t* vertices = pass.corners.entries + polygons.starts[k];
    const int32_t count = polygons.counts[k];
    if (count < 3) return area;
    Vec previous = sub(positionOf(pass, vertices[count - 1]), p);
    for (int32_t c = 0; c < count; ++c) {
        const Vec current = sub(positionOf(pass, vertices[c]), p);
        const Vec turn = cross(previous, current);
        area = {area.x + turn.x, area.y + turn.y, area.z + turn.z};
        previous = current;
    }
    *magnitude += length(area);
    return area;
}

// Unit normal into *normal; false when the polygons have no area or cancel out.
bool pointNormal(const Pass& pass, const PointPolygons& polygons, Point3 p, Vec* normal) {
    if (polygons.count <= 0) return false;
    Vec sum = {0.0, 0.0, 0.0};
    double magnitude = 0.0;
    for (int32_t k = 0; k < polygons.count; ++k) {
        const Vec area = polygonArea(pass, polygons, k, p, &magnitude);
        sum = {sum.x + area.x, sum.y + area.y, sum.z + area.z};
    }
    const double size = length(sum);
    // Also false for positions that are not numbers.
    if (!(size > NORMAL_TOLERANCE * magnitude) || !isfinite(size)) return false;
    *normal = scaled(sum, 1.0 / size);
    return true;
}

// Whether the edge to `neighbour` keeps a part in the tangent plane; if so,
// that part, unit length, into *tangent.
bool edgeTangent(const Pass& pass, int32_t neighbour, Point3 p, Vec normal, Vec* tangent) {
    const Vec edge = sub(positionOf(pass, neighbour), p);
    const double along = dot(edge, normal);
    const Vec projected = {edge.x - along * normal.x, edge.y - along * normal.y, edge.z - along * normal.z};
    const double size = length(projected);
    if (!(size > TANGENT_TOLERANCE * length(edge)) || !isfinite(size)) return false;
    *tangent = scaled(projected, 1.0 / size);
    return true;
}

// Unit tangent: the first edge neighbour, in the order the polygons list
// them (the predecessor of each occurrence of the point before its
// successor), whose edge keeps a part in the tangent plane. A neighbour met
// again is tried again, with the same answer.
bool pointTangent(const Pass& pass, const PointPolygons& polygons, int32_t point, Point3 p, Vec normal,
                  Vec* tangent) {
    for (int32_t k = 0; k < polygons.count; ++k) {
        const int32_t* vertices = pass.corners.entries + polygons.starts[k];
        const int32_t count = polygons.counts[k];
        if (count < 2) continue;
        for (int32_t c = 0; c < count; ++c) {
            if (vertices[c] != point) continue;
            const int32_t before = vertices[c == 0 ? count - 1 : c - 1];
            const int32_t after = vertices[c == count - 1 ? 0 : c + 1];
            if (edgeTangent(pass, before, p, normal, tangent)) return true;
            if (edgeTangent(pass, after, p, normal, tangent)) return true;
        }
    }
    return false;
}

void writeIdentity(double* frame) {
    for (int32_t k = 0; k < FRAME_SIZE; ++k) frame[k] = (k % 4 == 0) ? 1.0 : 0.0;
}

void computeFrame(const Pass& pass, int32_t point, double* frame) {
    const Point3 p = pass.positions[point];
    const PointPolygons polygons = polygonsOf(pass, point);
    Vec normal;
    Vec tangent;
    if (!pointNormal(pass, polygons, p, &normal) || !pointTangent(pass, polygons, point, p, normal, &tangent)) {
        writeIdentity(frame);
        return;
    }
    const Vec bitangent = cross(normal, tangent);
    const Vec rows[3] = {tangent, bitangent, normal};
    for (int32_t r = 0; r < 3; ++r) {
        frame[3 * r + 0] = rows[r].x;
        frame[3 * r + 1] = rows[r].y;
        frame[3 * r + 2] = rows[r].z;
    }
}

// A calculation's points, handed out to its threads a run at a time: a
// thread that gets less of the processor than the others (the caller's other
// threads are busy too) takes fewer runs instead of holding the rest up.
struct Work {
    const Pass* pass;
    double* frames;
    std::atomic<int64_t> next;  // wide: it passes the count by a run per thread
};

const int32_t POINTS_PER_RUN = 4096;

void* computeRuns(void* argument) {
    Work* work = static_cast<Work*>(argument);
    const int64_t count = work->pass->pointCount;
    for (int64_t begin = work->next.fetch_add(POINTS_PER_RUN); begin < count;
         begin = work->next.fetch_add(POINTS_PER_RUN)) {
        const int32_t end = (int32_t)(count - begin > POINTS_PER_RUN ? begin + POINTS_PER_RUN : count);
        for (int32_t i = (int32_t)begin; i < end; ++i) {
            computeFrame(*work->pass, i, work->frames + (size_t)i * FRAME_SIZE);
        }
    }
    return nullptr;
}

// Threads for the arithmetic: one per core, up to 8, each with at least
// this many points (fewer are not worth a thread's start).
const int32_t MAX_THREADS = 8;
const int32_t POINTS_PER_THREAD = 16384;

int32_t threadCount(const Pass& pass) {
    // A point beyond the mesh has a position only the host can give, and
    // the host is asked from the calling thread alone.
    if (pass.outside) return 1;
    const long cores = sysconf(_SC_NPROCESSORS_ONLN);
    int32_t threads = pass.pointCount / POINTS_PER_THREAD;
    if (cores > 0 && threads > cores) threads = (int32_t)cores;
    if (threads > MAX_THREADS) threads = MAX_THREADS;
    return threads > 1 ? threads : 1;
}

void computeAll(const Pass& pass, double* frames) {
    const int32_t threads = threadCount(pass);
    Work work = {&pass, frames, {0}};
    pthread_t started[MAX_THREADS];
    bool running[MAX_THREADS] = {};
    // The calling thread works too, and takes every run left when the
    // others are done or could not start.
    for (int32_t t = 1; t < threads; ++t) {
        running[t] = pthread_create(&started[t], nullptr, computeRuns, &work) == 0;
    }
    computeRuns(&work);
    for (int32_t t = 1; t < threads; ++t) {
        if (running[t]) pthread_join(started[t], nullptr);
    }
}

}  // namespace

bool computeFrames(HostHandle mesh, int32_t pointCount, double* frames) {
    Point3* positions = static_cast<Point3*>(calloc(pointCount > 0 ? (size_t)pointCount : 1, sizeof(Point3)));
    if (positions == nullptr) return false;
    for (int32_t i = 0; i < pointCount; ++i) fxMeshPoint(mesh, i, &positions[i], 1);
    Pass pass = {};
    pass.mesh = mesh;
    pass.positions = positions;
    pass.pointCount = pointCount;
    // A point whose lists could not be read would get a made-up frame: the
    // whole calculation fails instead, and the provider keeps no frames.
    const bool read = readLists(&pass);
    if (read) computeAll(pass, frames);
    release(&pass);
    free(positions);
    return read;
}
