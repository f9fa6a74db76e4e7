#include "picture/heat_map.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <tuple>
#include <utility>

#include "files/colour_map.h"
#include "mesh/triangulation.h"
#include "picture/canvas.h"

namespace kestrin::formats {
namespace {

constexpr int legendWidth = 130;
constexpr int margin = 24;
constexpr uint8_t background = 236;

struct Vec3 {
    double x, y, z;
};

double dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 normalised(Vec3 v) {
    const double length = std::sqrt(dot(v, v));
    return length > 0.0 ? Vec3{v.x / length, v.y / length, v.z / length} : Vec3{0, 0, 0};
}

// Turns the mesh 35 degrees about the vertical axis and tips it 25 degrees
// toward the viewer, who looks down -z with y up.
Vec3 viewRotate(const Point3& p) {
    const double yaw = -35.0 * M_PI / 180.0;
    const double pitch = 25.0 * M_PI / 180.0;
    const double x1 = std::cos(yaw) * p.x + std::sin(yaw) * p.z;
    const double z1 = -std::sin(yaw) * p.x + std::cos(yaw) * p.z;
    const double y2 = std::cos(pitch) * p.y - std::sin(pitch) * z1;
    const double z2 = std::sin(pitch) * p.y + std::cos(pitch) * z1;
    return {x1, y2, z2};
}

// Per-point normals from Newell's polygon normals, area-weighted, in view space.
std::vector<Vec3> pointNormals(const std::vector<Vec3>& view, const MeshData& mesh) {
    std::vector<Vec3> normals(view.size(), Vec3{0, 0, 0});
    for (size_t face = 0; face < mesh.polygons.size(); ++face) {
        const int32_t* polygon = mesh.polygons.begin(face);
        const size_t corners = mesh.polygons.count(face);
        Vec3 normal{0, 0, 0};
        for (size_t i = 0; i < corners; ++i) {
            const Vec3 a = view[polygon[i]];
            const Vec3 b = view[polygon[(i + 1) % corners]];
            normal.x += (a.y - b.y) * (a.z + b.z);
            normal.y += (a.z - b.z) * (a.x + b.x);
            normal.z += (a.x - b.x) * (a.y + b.y);
        }
        for (size_t i = 0; i < corners; ++i) {
            const int32_t point = polygon[i];
            normals[point].x += normal.x;
            normals[point].y += normal.y;
            normals[point].z += normal.z;
        }
    }
    for (Vec3& normal : normals) normal = normalised(normal);
    return normals;
}

// The points that polygons use: a point no polygon uses is never drawn, so
// it has no say in the framing. All points when there are no polygons.
std::vector<size_t> drawnPoints(const MeshData& mesh) {
    std::vector<bool> used(mesh.points.size(), false);
    for (size_t face = 0; face < mesh.polygons.size(); ++face) {
        const int32_t* polygon = mesh.polygons.begin(face);
        for (size_t i = 0; i < mesh.polygons.count(face); ++i) used[polygon[i]] = true;
    }
    std::vector<size_t> drawn;
    for (size_t i = 0; i < used.size(); ++i) {
        if (used[i] || mesh.polygons.size() == 0) drawn.push_back(i);
    }
    return drawn;
}

struct Frame {
    Vec3 low{0, 0, 0};
    Vec3 high{0, 0, 0};
};

// One screen axis of the frame: the bounds of the points that lie within
// the 1st to 99th percentile widened by a quarter of that span on each side.
// A mesh whose points all lie there (every ordinary mesh) is framed by its
// bounds; a few stray points far off (a vertex left at 200, 200, 200) fall
// outside and are clipped, instead of shrinking the mesh into a corner.
std::pair<double, double> robustSpan(std::vector<double> values) {
    if (values.empty()) return {0.0, 0.0};
    const size_t last = values.size() - 1;
    const size_t lowRank = static_cast<size_t>(std::floor(0.01 * last));
    const size_t highRank = static_cast<size_t>(std::ceil(0.99 * last));
    std::nth_element(values.begin(), values.begin() + lowRank, values.end());
    const double low = values[lowRank];
    std::nth_element(values.begin(), values.begin() + highRank, values.end());
    const double high = values[highRank];
    const double lowLimit = low - 0.25 * (high - low);
    const double highLimit = high + 0.25 * (high - low);
    double lowest = low, highest = high;
    for (double value : values) {
        if (value >= lowLimit) lowest = std::min(lowest, value);
        if (value <= highLimit) highest = std::max(highest, value);
    }
    return {lowest, highest};
}

Frame robustFrame(const std::vector<Vec3>& view, const std::vector<size_t>& drawn) {
    std::vector<double> xs, ys;
    for (size_t i : drawn) {
        xs.push_back(view[i].x);
        ys.push_back(view[i].y);
    }
    Frame frame;
    std::tie(frame.low.x, frame.high.x) = robustSpan(std::move(xs));
    std::tie(frame.low.y, frame.high.y) = robustSpan(std::move(ys));
    return frame;
}

std::string rangeLabel(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%+.3g", value);
    return value == 0.0 ? "0" : text;
}

// The bar runs from `top` to `bottom`; its range labels sit beside it,
// inside its span (the top one hangs from its top, the bottom one stands on
// its bottom), and the headings above and below keep a gap from them.
void drawLegend(Canvas& canvas, const Image& image, float range) {
    const int left = image.width - legendWidth + 20;
    const int top = 70;
    const int bottom = image.height - 70;
    const int textHeight = 14;  // stb's quad font at twice its size, descenders included
    const Rgb ink{40, 40, 40};
    canvas.text(left - 4, top - 2 * textHeight - 16, "weight", ink);
    canvas.text(left - 4, top - textHeight - 10, "stretch", stretchColour);
    for (int y = top; y < bottom; ++y) {
        const float weight = range * (1.0f - 2.0f * (y - top) / static_cast<float>(bottom - top - 1));
        canvas.rectangle(left, y, left + 24, y + 1, divergingColour(weight, range));
    }
    canvas.text(left - 4, bottom + 10, "squash", squashColour);
    const int middle = (top + bottom) / 2;
    canvas.text(left + 32, top, rangeLabel(range), ink);
    canvas.text(left + 32, middle - textHeight / 2, "0 rest", ink);
    canvas.text(left + 32, bottom - textHeight, rangeLabel(-range), ink);
}

}  // namespace

HeatMapFrame heatMapFrame(const MeshData& mesh) {
    std::vector<Vec3> view(mesh.points.size());
    for (size_t i = 0; i < view.size(); ++i) view[i] = viewRotate(mesh.points[i]);
    const Frame frame = robustFrame(view, drawnPoints(mesh));
    return {frame.low.x, frame.low.y, frame.high.x, frame.high.y, true};
}

void widenFrame(HeatMapFrame& frame, const HeatMapFrame& other) {
    if (!other.set) return;
    if (!frame.set) {
        frame = other;
        return;
    }
    frame.lowX = std::min(frame.lowX, other.lowX);
    frame.lowY = std::min(frame.lowY, other.lowY);
    frame.highX = std::max(frame.highX, other.highX);
    frame.highY = std::max(frame.highY, other.highY);
}

Image renderHeatMap(const MeshData& mesh, const std::vector<float>& weights, int width, int height,
                    const HeatMapFrame* shared, const std::string& caption) {
    Image image;
    image.width = width;
    image.height = height;
    image.pixels.assign(static_cast<size_t>(width) * height * 3, background);
    Canvas canvas(image, width - legendWidth);

    std::vector<Vec3> view(mesh.points.size());
    for (size_t i = 0; i < view.size(); ++i) view[i] = viewRotate(mesh.points[i]);
    Frame frame;
    if (shared != nullptr && shared->set) {
        frame.low = {shared->lowX, shared->lowY, 0.0};
        frame.high = {shared->highX, shared->highY, 0.0};
    } else {
        frame = robustFrame(view, drawnPoints(mesh));
    }
    const double areaWidth = width - legendWidth - 2.0 * margin;
    const double areaHeight = height - 2.0 * margin;
    const double extentX = std::max(frame.high.x - frame.low.x, 1e-12);
    const double extentY = std::max(frame.high.y - frame.low.y, 1e-12);
    const double scale = std::min(areaWidth / extentX, areaHeight / extentY);
    const double centreX = margin + areaWidth / 2.0;
    const double centreY = margin + areaHeight / 2.0;
    const double middleX = (frame.low.x + frame.high.x) / 2.0;
    const double middleY = (frame.low.y + frame.high.y) / 2.0;

    const std::vector<Vec3> normals = pointNormals(view, mesh);
    const Vec3 light = normalised({-0.4, 0.6, 1.0});
    const float range = colourRange(weights);
    std::vector<ScreenVertex> screen(view.size());
    for (size_t i = 0; i < view.size(); ++i) {
        // Two-sided: meshes from other tools do not agree on winding.
        const double shade = 0.35 + 0.65 * std::fabs(dot(normals[i], light));
        const Rgb colour = divergingColour(i < weights.size() ? weights[i] : 0.0f, range);
        screen[i] = {centreX + scale * (view[i].x - middleX), centreY - scale * (view[i].y - middleY),
                     view[i].z,
                     colour.red * shade, colour.green * shade, colour.blue * shade};
    }
    std::vector<uint32_t> triangles;
    for (size_t face = 0; face < mesh.polygons.size(); ++face) {
        const int32_t* polygon = mesh.polygons.begin(face);
        triangles.clear();
        triangulatePolygon(mesh.points.data(), polygon, mesh.polygons.count(face), triangles);
        for (size_t t = 0; t < triangles.size(); t += 3) {
            canvas.triangle(screen[polygon[triangles[t]]], screen[polygon[triangles[t + 1]]],
                            screen[polygon[triangles[t + 2]]]);
        }
    }
    drawLegend(canvas, image, range);
    if (!caption.empty()) canvas.text(margin / 2, margin / 2, caption, Rgb{40, 40, 40});
    return image;
}

}  // namespace kestrin::formats
