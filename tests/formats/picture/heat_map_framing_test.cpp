// The heat map frames where the mesh is: one stray vertex far off (a point
// left at 200, 200, 200 by an exporter) is clipped, not framed, so the mesh
// does not shrink into a corner of the picture.
#include <gtest/gtest.h>

#include "picture/heat_map.h"

namespace kestrin::formats {
namespace {

constexpr int width = 400, height = 300;
constexpr int legendWidth = 130;  // the legend's strip on the right, not counted

// A flat 20 x 20 grid of unit size in the xy plane, split into triangles.
MeshData grid() {
    MeshData mesh;
    constexpr int n = 21;
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) mesh.points.push_back({x / 20.0, y / 20.0, 0.0});
    }
    for (int y = 0; y + 1 < n; ++y) {
        for (int x = 0; x + 1 < n; ++x) {
            const int32_t a = y * n + x;
            mesh.polygons.add({a, a + 1, a + n + 1});
            mesh.polygons.add({a, a + n + 1, a + n});
        }
    }
    return mesh;
}

// The share of the drawing area (left of the legend) the mesh covers.
double coverage(const Image& image) {
    size_t drawn = 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width - legendWidth; ++x) {
            const uint8_t* pixel = &image.pixels[(static_cast<size_t>(y) * image.width + x) * 3];
            drawn += pixel[0] != 236 || pixel[1] != 236 || pixel[2] != 236;
        }
    }
    return static_cast<double>(drawn) / ((image.width - legendWidth) * image.height);
}

TEST(HeatMapFraming, OneFarPointDoesNotShrinkTheMesh) {
    const MeshData plain = grid();
    const Image reference = renderHeatMap(plain, std::vector<float>(plain.points.size(), 0.5f), width, height);
    ASSERT_GT(coverage(reference), 0.3);

    struct Case {
        const char* name;
        bool inAPolygon;  // the stray point is a corner of a triangle with the grid
    };
    for (const Case& c : {Case{"unused point", false}, Case{"point on a spike triangle", true}}) {
        MeshData mesh = plain;
        mesh.points.push_back({200.0, 200.0, 200.0});
        const int32_t stray = static_cast<int32_t>(mesh.points.size() - 1);
        if (c.inAPolygon) mesh.polygons.add({0, 1, stray});
        const Image image = renderHeatMap(mesh, std::vector<float>(mesh.points.size(), 0.5f), width, height);
        EXPECT_GT(coverage(image), 0.9 * coverage(reference)) << c.name;
        if (!c.inAPolygon) {
            EXPECT_EQ(image.pixels, reference.pixels) << c.name;
        }
    }
}

}  // namespace
}  // namespace kestrin::formats
