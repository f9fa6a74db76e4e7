#include "demo_arm.h"

#include <algorithm>
#include <cmath>

namespace kestrin::tool {
namespace {

// Moves each point out from the arm's axis by amount(its angle around the
// axis from +y, the side the arm bends toward) × a bell of `width` around
// the elbow.
template <typename Amount>
formats::MeshData radialOffset(const formats::MeshData& rest, const ArmShape& shape, double width, Amount amount) {
    std::vector<Point3> points = rest.points;
    for (Point3& p : points) {
        const double radial = std::hypot(p.y, p.z);
        if (radial == 0.0) continue;
        const double bell = std::exp(-std::pow((p.x - shape.elbow) / width, 2.0));
        const double scale = (radial + amount(std::atan2(p.z, p.y)) * bell) / radial;
        p.y *= scale;
        p.z *= scale;
    }
    return formats::withPositions(rest, std::move(points));
}

}  // namespace

formats::MeshData makeArm(const ArmShape& shape) {
    formats::MeshData arm;
    for (int ring = 0; ring < shape.rings; ++ring) {
        const double x = shape.length * ring / (shape.rings - 1);
        for (int segment = 0; segment < shape.segments; ++segment) {
            const double angle = 2.0 * M_PI * segment / shape.segments;
            arm.points.push_back({x, shape.radius * std::cos(angle), shape.radius * std::sin(angle)});
        }
    }
    auto point = [&](int ring, int segment) {
        return static_cast<int32_t>(ring * shape.segments + segment % shape.segments);
    };
    for (int ring = 0; ring + 1 < shape.rings; ++ring) {
        for (int segment = 0; segment < shape.segments; ++segment) {
            arm.polygons.add({point(ring, segment), point(ring + 1, segment),
                              point(ring + 1, segment + 1), point(ring, segment + 1)});
        }
    }
    std::vector<int32_t> start;
    std::vector<int32_t> end;
    for (int segment = 0; segment < shape.segments; ++segment) {
        start.push_back(point(0, shape.segments - segment));
        end.push_back(point(shape.rings - 1, segment));
    }
    arm.polygons.add(start.data(), start.size());
    arm.polygons.add(end.data(), end.size());
    return arm;
}

formats::MeshData bendArm(const formats::MeshData& rest, const ArmShape& shape, double degrees) {
    const double angle = degrees * M_PI / 180.0;
    if (std::fabs(angle) < 1e-12) return rest;
    const double start = shape.elbow - shape.bendLength / 2.0;
    const double radius = shape.bendLength / angle;  // of the centre line's arc
    std::vector<Point3> points = rest.points;
    for (Point3& p : points) {
        const double along = std::clamp(p.x - start, 0.0, shape.bendLength);
        const double beyond = p.x - start - along;  // < 0 before the elbow, > 0 after
        const double turn = angle * along / shape.bendLength;
        // On the arc about (start, radius), then straight on along its tangent.
        const double arcX = start + (radius - p.y) * std::sin(turn);
        const double arcY = radius - (radius - p.y) * std::cos(turn);
        p.x = arcX + beyond * std::cos(turn);
        p.y = arcY + beyond * std::sin(turn);
    }
    return formats::withPositions(rest, std::move(points));
}

// Most at 45 degrees either side of the fold's line, where the flesh rolls
// out; the line itself is drawn in a little, into a crease. At 120
// degrees the inside of the elbow curls around the arc's centre at 0.19
// from it (ArmShape::bendLength), at 45 degrees around the line at 0.48:
// flesh pushed out along the line, or by more than those radii toward the
// centre, crosses the fold. The push at 45 degrees, 0.6 at most, leans 45
// degrees sideways (0.42 toward the centre); the crease moves away from
// it. The fold keeps its volume and never closes on itself.
formats::MeshData squashTarget(const formats::MeshData& rest, const ArmShape& shape) {
    return radialOffset(rest, shape, 0.9, [](double around) {
        const double inner = std::cos(around);
        if (inner <= 0.0) return 0.0;
        return 0.6 * std::pow(std::sin(2.0 * around), 2.0) - 0.3 * std::pow(inner, 4.0);
    });
}

// Broad and shallow: a narrow inward offset would dent the outer elbow.
formats::MeshData stretchTarget(const formats::MeshData& rest, const ArmShape& shape) {
    return radialOffset(rest, shape, 1.2, [](double) { return -0.06; });
}

}  // namespace kestrin::tool
