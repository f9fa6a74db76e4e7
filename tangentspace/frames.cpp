#include "frames.h"

#include <math.h>
#include <stdlib.h>

#include "host_api.h"
#include "neighbours.h"
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

Point3 positionOf(HostHandle mesh, int32_t point) {
    Point3 p = {0.0, 0.0, 0.0};
    fxMeshPoint(mesh, point, &p, 1);
    return p;
}

// Twice the vector area of one polygon, taken about the point p so that the
// sum does not lose precision far from the origin. Adds |area| to *magnitude.
Vec polygonArea(HostHandle mesh, int32_t polygon, Point3 p, double* magnitude) {
    Vec area = {0.0, 0.0, 0.0};
    int32_t scratch = 0;
    int32_t count = 0;
    int32_t extra = 0;
    fxMeshPoly(mesh, polygon, &scratch, 1, &count, &extra, 0);
    if (count < 3) return area;
    int32_t* vertices = static_cast<int32_t*>(calloc((size_t)count, sizeof(int32_t)));
    if (vertices == nullptr) return area;
    fxMeshPoly(mesh, polygon, vertices, count, &scratch, &extra, 0);
    Vec previous = sub(positionOf(mesh, vertices[count - 1]), p);
    for (int32_t k = 0; k < count; ++k) {
        const Vec current = sub(positionOf(mesh, vertices[k]), p);
        const Vec c = cross(previous, current);
        area = {area.x + c.x, area.y + c.y, area.z + c.z};
        previous = current;
    }
    free(vertices);
    *magnitude += length(area);
    return area;
}

// Unit normal of point into *normal; false when its polygons have no area or
// cancel out.
bool pointNormal(HostHandle mesh, int32_t point, Point3 p, Vec* normal) {
    int32_t scratch = 0;
    int32_t count = 0;
    fxMeshPointPolys(mesh, point, &scratch, 1, &count, 0);
    if (count <= 0) return false;
    int32_t* polygons = static_cast<int32_t*>(calloc((size_t)count, sizeof(int32_t)));
    if (polygons == nullptr) return false;
    fxMeshPointPolys(mesh, point, polygons, count, &scratch, 0);
    Vec sum = {0.0, 0.0, 0.0};
    double magnitude = 0.0;
    for (int32_t k = 0; k < count; ++k) {
        const Vec area = polygonArea(mesh, polygons[k], p, &magnitude);
        sum = {sum.x + area.x, sum.y + area.y, sum.z + area.z};
    }
    free(polygons);
    const double size = length(sum);
    // Also false for positions that are not numbers.
    if (!(size > NORMAL_TOLERANCE * magnitude) || !isfinite(size)) return false;
    *normal = scaled(sum, 1.0 / size);
    return true;
}

// Unit tangent of point: the first edge to a neighbour that keeps a part in
// the tangent plane, projected into it.
bool pointTangent(HostHandle mesh, int32_t point, Point3 p, Vec normal, Vec* tangent) {
    int32_t count = 0;
    int32_t* neighbours = nullptr;
    // Without memory for the list there is no edge to take a tangent from:
    // the point gets the identity frame, as one without neighbours does.
    collectNeighbours(mesh, point, &neighbours, &count);
    bool found = false;
    for (int32_t k = 0; k < count && !found; ++k) {
        const Vec edge = sub(positionOf(mesh, neighbours[k]), p);
        const double along = dot(edge, normal);
        const Vec projected = {edge.x - along * normal.x, edge.y - along * normal.y,
                               edge.z - along * normal.z};
        const double size = length(projected);
        if (size > TANGENT_TOLERANCE * length(edge) && isfinite(size)) {
            *tangent = scaled(projected, 1.0 / size);
            found = true;
        }
    }
    free(neighbours);
    return found;
}

void writeIdentity(double* frame) {
    for (int32_t k = 0; k < FRAME_SIZE; ++k) frame[k] = (k % 4 == 0) ? 1.0 : 0.0;
}

}  // namespace

void computeFrame(HostHandle mesh, int32_t point, double* frame) {
    const Point3 p = positionOf(mesh, point);
    Vec normal;
    Vec tangent;
    if (!pointNormal(mesh, point, p, &normal) ||
        !pointTangent(mesh, point, p, normal, &tangent)) {
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
