// Polygons split into triangles for the pictures, the shot page and the
// engine mesh: each polygon, convex or not, in any plane and either
// winding, gives n - 2 triangles of its own corners that cover exactly its
// area, none of them flipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "mesh/triangulation.h"

namespace kestrin::formats {
namespace {

struct Vec {
    double x, y, z;
};
Vec minus(const Point3& a, const Point3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec cross(const Vec& a, const Vec& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double dot(const Vec& a, const Vec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Twice the polygon's vector area (Newell's sum, about its first corner).
Vec doubleArea(const std::vector<Point3>& points) {
    Vec sum{0, 0, 0};
    for (size_t i = 0; i < points.size(); ++i) {
        const Vec c = cross(minus(points[i], points[0]), minus(points[(i + 1) % points.size()], points[0]));
        sum = {sum.x + c.x, sum.y + c.y, sum.z + c.z};
    }
    return sum;
}

// An outline in the xy plane, placed in 3D: turned about x by `tilt`, then
// about z by `turn`, moved by `offset`, its corners in reverse when asked.
std::vector<Point3> placed(const std::vector<std::pair<double, double>>& outline, double tilt, double turn,
                           double offset, bool reversed) {
    std::vector<Point3> points;
    for (const auto& [u, v] : outline) {
        const double y = v * std::cos(tilt), z = v * std::sin(tilt);
        points.push_back({u * std::cos(turn) - y * std::sin(turn) + offset, u * std::sin(turn) + y * std::cos(turn) - offset,
                          z + offset});
    }
    if (reversed) std::reverse(points.begin(), points.end());
    return points;
}

TEST(Triangulation, CoversEachPolygonOnceInAnyPlaneAndWinding) {
    struct Case {
        const char* name;
        std::vector<std::pair<double, double>> outline;
        double area;
    };
    const Case cases[] = {
        // 5--4
        // |  |      an L of three unit squares: a fan from 0 covers 4,
        // |  3--2   with a flipped triangle
        // 0-----1
        {"L hexagon", {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}}, 3.0},
        // The same L from its inside corner: every fan from here crosses out.
        {"L from its reflex corner", {{1, 1}, {1, 2}, {0, 2}, {0, 0}, {2, 0}, {2, 1}}, 3.0},
        {"arrow head", {{0, 0}, {2, 1}, {0, 2}, {1, 1}}, 1.0},
        {"comb of three teeth",
         {{0, 0}, {5, 0}, {5, 3}, {4, 3}, {4, 1}, {3, 1}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}},
         5 + 3 * 2.0},
        {"five-pointed star",
         {{0, 3}, {0.7, 1}, {2.9, 0.9}, {1.1, -0.4}, {1.8, -2.4}, {0, -1.2}, {-1.8, -2.4}, {-1.1, -0.4}, {-2.9, 0.9},
          {-0.7, 1}},
         0.0},  // measured below
        {"square with a corner on an edge", {{0, 0}, {1, 0}, {2, 0}, {2, 2}, {0, 2}}, 4.0},
        {"convex hexagon", {{1, 0}, {2, 0}, {3, 1}, {2, 2}, {1, 2}, {0, 1}}, 4.0},
    };
    struct Placement {
        double tilt, turn, offset;
        bool reversed;
    };
    const Placement placements[] = {{0, 0, 0, false}, {0, 0, 0, true}, {1.1, 0.4, 1e6, false}, {M_PI / 2, 2.5, -3, true},
                                    {M_PI, 0, 0, false}};
    for (const Case& c : cases) {
        for (const Placement& at : placements) {
            SCOPED_TRACE(std::string(c.name) + " tilt " + std::to_string(at.tilt) + (at.reversed ? " reversed" : ""));
            const std::vector<Point3> points = placed(c.outline, at.tilt, at.turn, at.offset, at.reversed);
            std::vector<int32_t> corners(points.size());
            for (size_t i = 0; i < corners.size(); ++i) corners[i] = static_cast<int32_t>(i);
            std::vector<uint32_t> triangles;
            triangulatePolygon(points.data(), corners.data(), corners.size(), triangles);
            ASSERT_EQ(triangles.size(), 3 * (points.size() - 2));
            const Vec normal = doubleArea(points);
            const double area = std::sqrt(dot(normal, normal)) / 2;
            if (c.area > 0) {
                EXPECT_NEAR(area, c.area, 1e-6 * c.area);
            }
            double covered = 0.0;
            for (size_t t = 0; t < triangles.size(); t += 3) {
                const Point3& a = points[triangles[t]];
                const Vec n = cross(minus(points[triangles[t + 1]], a), minus(points[triangles[t + 2]], a));
                EXPECT_GE(dot(n, normal), -1e-9 * dot(normal, normal)) << "triangle " << t / 3 << " is flipped";
                covered += std::sqrt(dot(n, n)) / 2;
            }
            EXPECT_NEAR(covered, area, 1e-9 * area);
        }
    }
}

}  // namespace
}  // namespace kestrin::formats
