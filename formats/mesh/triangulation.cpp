#include "mesh/triangulation.h"

#include <cmath>

namespace kestrin::formats {
namespace {

// A corner on the polygon's plane.
struct Flat {
    double u, v;
};

// Twice the signed area of a, b, c: positive where they turn as the
// polygon runs.
double turn(const Flat& a, const Flat& b, const Flat& c) {
    return (b.u - a.u) * (c.v - a.v) - (b.v - a.v) * (c.u - a.u);
}

// Whether p lies in the triangle a, b, c (turning positively), its edges included.
bool inside(const Flat& a, const Flat& b, const Flat& c, const Flat& p) {
    return turn(a, b, p) >= 0.0 && turn(b, c, p) >= 0.0 && turn(c, a, p) >= 0.0;
}

double coordinate(const Point3& p, int axis) { return axis == 0 ? p.x : axis == 1 ? p.y : p.z; }

void fan(size_t count, std::vector<uint32_t>& out) {
    for (uint32_t i = 1; i + 1 < count; ++i) out.insert(out.end(), {0u, i, i + 1});
}

// The polygon's corners on the plane of its Newell normal, turning
// positively as the polygon runs; false when it has no area to turn by
// (its corners on a line, or a coordinate not finite).
bool flatten(const Point3* points, const int32_t* corners, size_t count, std::vector<Flat>& flat) {
    double normal[3] = {0.0, 0.0, 0.0};
    for (size_t i = 0; i < count; ++i) {
        const Point3& a = points[corners[i]];
        const Point3& b = points[corners[(i + 1) % count]];
        normal[0] += (a.y - b.y) * (a.z + b.z);
        normal[1] += (a.z - b.z) * (a.x + b.x);
        normal[2] += (a.x - b.x) * (a.y + b.y);
    }
    int axis = 0;
    for (int a = 1; a < 3; ++a) {
        if (std::fabs(normal[a]) > std::fabs(normal[axis])) axis = a;
    }
    if (!(std::fabs(normal[axis]) > 0.0) || !std::isfinite(normal[axis])) return false;
    // Seen down the normal's largest axis, the other two in cyclic order:
    // the polygon turns positively where that component is positive.
    const double sign = normal[axis] > 0.0 ? 1.0 : -1.0;
    flat.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const Point3& p = points[corners[i]];
        flat[i] = {coordinate(p, (axis + 1) % 3), sign * coordinate(p, (axis + 2) % 3)};
    }
    return true;
}

bool convex(const std::vector<Flat>& flat) {
    const size_t count = flat.size();
    for (size_t i = 0; i < count; ++i) {
        if (!(turn(flat[(i + count - 1) % count], flat[i], flat[(i + 1) % count]) >= 0.0)) return false;
    }
    return true;
}

// Cuts off one ear at a time: a corner turning positively whose triangle
// with its two neighbours holds no corner that turns the other way (only
// those can reach into it). A polygon that crosses itself may have no ear
// left; its first corner turning positively, else any, is cut off then, so
// that there are always count - 2 triangles.
void clipEars(const std::vector<Flat>& flat, std::vector<uint32_t>& out) {
    const uint32_t count = static_cast<uint32_t>(flat.size());
    thread_local std::vector<uint32_t> next, previous;
    next.resize(count);
    previous.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        next[i] = (i + 1) % count;
        previous[i] = (i + count - 1) % count;
    }
    const auto turns = [&](uint32_t i) { return turn(flat[previous[i]], flat[i], flat[next[i]]); };
    const auto isEar = [&](uint32_t i) {
        const uint32_t p = previous[i], q = next[i];
        if (!(turns(i) > 0.0)) return false;
        for (uint32_t r = next[q]; r != p; r = next[r]) {
            if (!(turns(r) > 0.0) && inside(flat[p], flat[i], flat[q], flat[r])) return false;
        }
        return true;
    };
    const auto cut = [&](uint32_t i) {
        const uint32_t p = previous[i], q = next[i];
        out.insert(out.end(), {p, i, q});
        next[p] = q;
        previous[q] = p;
    };
    uint32_t at = 0;
    uint32_t tried = 0;
    for (uint32_t left = count; left > 3;) {
        if (isEar(at)) {
            const uint32_t after = next[at];
            cut(at);
            at = after;
            --left;
            tried = 0;
            continue;
        }
        at = next[at];
        if (++tried < left) continue;
        uint32_t chosen = at;
        for (uint32_t k = 0, i = at; k < left; ++k, i = next[i]) {
            if (turns(i) > 0.0) {
                chosen = i;
                break;
            }
        }
        at = next[chosen];
        cut(chosen);
        --left;
        tried = 0;
    }
    out.insert(out.end(), {at, next[at], next[next[at]]});
}

}  // namespace

void triangulatePolygon(const Point3* points, const int32_t* corners, size_t count, std::vector<uint32_t>& out) {
    if (count < 3) return;
    thread_local std::vector<Flat> flat;
    if (count == 3 || !flatten(points, corners, count, flat) || convex(flat)) return fan(count, out);
    clipEars(flat, out);
}

std::vector<uint32_t> triangulate(const Point3* points, const Polygons& polygons) {
    std::vector<uint32_t> triangles;
    triangles.reserve(polygons.vertices.size() >= 2 * polygons.size() ? 3 * (polygons.vertices.size() - 2 * polygons.size()) : 0);
    std::vector<uint32_t> local;
    for (size_t f = 0; f < polygons.size(); ++f) {
        local.clear();
        triangulatePolygon(points, polygons.begin(f), polygons.count(f), local);
        const uint32_t first = static_cast<uint32_t>(polygons.offsets[f]);
        for (uint32_t corner : local) triangles.push_back(first + corner);
    }
    return triangles;
}

}  // namespace kestrin::formats
