#include "meshes.h"

#include <math.h>

#include <algorithm>
#include <utility>

namespace kestrin::bench {
namespace {

constexpr double kTwoPi = 6.283185307179586;

// Sides of a near-square grid of about `points` points, at least 2 x 2.
int32_t gridSide(int32_t points) {
    return std::max<int32_t>(2, static_cast<int32_t>(lround(sqrt(static_cast<double>(points)))));
}

void appendGrid(MeshData& mesh, int32_t columns, int32_t rows) {
    const int32_t first = mesh.pointCount();
    mesh.rest.reserve(mesh.rest.size() + static_cast<size_t>(columns) * rows);
    for (int32_t y = 0; y < rows; ++y) {
        for (int32_t x = 0; x < columns; ++x) mesh.rest.push_back({double(x), double(y), 0.0});
    }
    const size_t quads = static_cast<size_t>(columns - 1) * (rows - 1);
    mesh.polygonStart.reserve(mesh.polygonStart.size() + quads);
    mesh.polygonVertices.reserve(mesh.polygonVertices.size() + 4 * quads);
    for (int32_t y = 0; y + 1 < rows; ++y) {
        for (int32_t x = 0; x + 1 < columns; ++x) {
            const int32_t a = first + y * columns + x;
            mesh.addPolygon({a, a + 1, a + columns + 1, a + columns});
        }
    }
}

}  // namespace

void MeshData::addPolygon(std::initializer_list<int32_t> vertices) {
    polygonVertices.insert(polygonVertices.end(), vertices.begin(), vertices.end());
    polygonStart.push_back(static_cast<int32_t>(polygonVertices.size()));
}

MeshData quadGrid(int32_t columns, int32_t rows) {
    MeshData mesh;
    mesh.name = "grid";
    appendGrid(mesh, columns, rows);
    applyStretchSquashPose(mesh, 40.0);
    return mesh;
}

MeshData quadGrid(int32_t points) {
    const int32_t side = gridSide(points);
    return quadGrid(side, side);
}

MeshData triangulatedSphere(int32_t points) {
    // rings * segments + 2 poles, with segments = 2 * rings.
    const int32_t rings =
        std::max<int32_t>(2, static_cast<int32_t>(lround(sqrt(std::max(points - 2, 8) / 2.0))));
    const int32_t segments = 2 * rings;
    MeshData mesh;
    mesh.name = "sphere";
    mesh.rest.reserve(static_cast<size_t>(rings) * segments + 2);
    mesh.rest.push_back({0.0, 0.0, 1.0});
    for (int32_t r = 0; r < rings; ++r) {
        const double polar = M_PI * (r + 1) / (rings + 1);
        for (int32_t s = 0; s < segments; ++s) {
            const double azimuth = kTwoPi * s / segments;
            mesh.rest.push_back(
                {sin(polar) * cos(azimuth), sin(polar) * sin(azimuth), cos(polar)});
        }
    }
    const int32_t south = mesh.pointCount();
    mesh.rest.push_back({0.0, 0.0, -1.0});

    auto ringPoint = [&](int32_t r, int32_t s) { return 1 + r * segments + (s % segments); };
    for (int32_t s = 0; s < segments; ++s) mesh.addPolygon({0, ringPoint(0, s), ringPoint(0, s + 1)});
    for (int32_t r = 0; r + 1 < rings; ++r) {
        for (int32_t s = 0; s < segments; ++s) {
            const int32_t a = ringPoint(r, s), b = ringPoint(r, s + 1);
            const int32_t c = ringPoint(r + 1, s + 1), d = ringPoint(r + 1, s);
            mesh.addPolygon({a, d, c});
            mesh.addPolygon({a, c, b});
        }
    }
    for (int32_t s = 0; s < segments; ++s) {
        mesh.addPolygon({south, ringPoint(rings - 1, s + 1), ringPoint(rings - 1, s)});
    }
    applyStretchSquashPose(mesh, 0.8);
    return mesh;
}

MeshData fan(int32_t triangles) {
    MeshData mesh;
    mesh.name = "fan";
    mesh.rest.reserve(static_cast<size_t>(triangles) + 1);
    mesh.rest.push_back({0.0, 0.0, 0.0});
    const double radius = triangles / kTwoPi;  // rim edges about one unit long
    for (int32_t i = 0; i < triangles; ++i) {
        const double angle = kTwoPi * i / triangles;
        mesh.rest.push_back({radius * cos(angle), radius * sin(angle), 0.0});
    }
    for (int32_t i = 0; i < triangles; ++i) {
        mesh.addPolygon({0, 1 + i, 1 + (i + 1) % triangles});
    }
    applyStretchSquashPose(mesh, 40.0);
    return mesh;
}

MeshData gridWithIsolatedPoints(int32_t gridPoints, int32_t isolated) {
    const int32_t side = gridSide(gridPoints);
    MeshData mesh;
    mesh.name = "isolated";
    appendGrid(mesh, side, side);
    mesh.rest.reserve(mesh.rest.size() + isolated);
    for (int32_t i = 0; i < isolated; ++i) {
        mesh.rest.push_back({double(i % side), double(i / side), 5.0});
    }
    applyStretchSquashPose(mesh, 40.0);
    return mesh;
}

void applyStretchSquashPose(MeshData& mesh, double period) {
    // d/dx (x + a sin(kx)) = 1 + ak cos(kx): with ak = 0.65 the local scale
    // sweeps 0.35 .. 1.65, past the weight formula's saturation at 0.5 and 2
    // only where the axes' effects add up.
    const double k = kTwoPi / period;
    const double a = 0.65 / k;
    mesh.pose.resize(mesh.rest.size());
    for (size_t i = 0; i < mesh.rest.size(); ++i) {
        const Point3 p = mesh.rest[i];
        mesh.pose[i] = {p.x + a * sin(k * p.x), p.y + a * sin(k * p.y), p.z + a * sin(k * p.z)};
    }
}

std::vector<Point3> offsetTarget(const MeshData& mesh, Point3 offset) {
    std::vector<Point3> target(mesh.rest);
    for (Point3& p : target) {
        p.x += offset.x;
        p.y += offset.y;
        p.z += offset.z;
    }
    return target;
}

host::Mesh toHostMesh(const MeshData& mesh, bool posed) {
    std::vector<std::vector<int32_t>> polygons(mesh.polygonCount());
    for (int32_t p = 0; p < mesh.polygonCount(); ++p) {
        polygons[p].assign(mesh.polygonVertices.begin() + mesh.polygonStart[p],
                           mesh.polygonVertices.begin() + mesh.polygonStart[p + 1]);
    }
    host::Mesh result(mesh.rest, polygons);
    if (posed) result.setCurrent(mesh.pose);
    return result;
}

}  // namespace kestrin::bench
