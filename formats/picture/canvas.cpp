#include "picture/canvas.h"

#include <stdint.h>

#include <algorithm>
#include <cmath>
#include <limits>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_easy_font.h>
#pragma GCC diagnostic pop

namespace kestrin::formats {
namespace {

double edge(const ScreenVertex& a, const ScreenVertex& b, double x, double y) {
    return (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
}

}  // namespace

Canvas::Canvas(Image& image, int drawRight)
    : image_(image), drawRight_(drawRight), depth_(static_cast<size_t>(image.width) * image.height,
                                                   -std::numeric_limits<double>::infinity()) {}

void Canvas::triangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c) {
    const double area = edge(a, b, c.x, c.y);
    if (std::fabs(area) < 1e-12) return;
    const int left = std::max(0, static_cast<int>(std::floor(std::min({a.x, b.x, c.x}))));
    const int right = std::min(drawRight_ - 1, static_cast<int>(std::ceil(std::max({a.x, b.x, c.x}))));
    const int top = std::max(0, static_cast<int>(std::floor(std::min({a.y, b.y, c.y}))));
    const int bottom = std::min(image_.height - 1, static_cast<int>(std::ceil(std::max({a.y, b.y, c.y}))));
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            const double px = x + 0.5;
            const double py = y + 0.5;
            const double wa = edge(b, c, px, py) / area;
            const double wb = edge(c, a, px, py) / area;
            const double wc = edge(a, b, px, py) / area;
            if (wa < 0.0 || wb < 0.0 || wc < 0.0) continue;
            const double depth = wa * a.depth + wb * b.depth + wc * c.depth;
            double& stored = depth_[static_cast<size_t>(y) * image_.width + x];
            if (depth <= stored) continue;
            stored = depth;
            set(x, y, wa * a.red + wb * b.red + wc * c.red,
                wa * a.green + wb * b.green + wc * c.green,
                wa * a.blue + wb * b.blue + wc * c.blue);
        }
    }
}

void Canvas::rectangle(int left, int top, int right, int bottom, Rgb colour) {
    for (int y = std::max(0, top); y < std::min(image_.height, bottom); ++y) {
        for (int x = std::max(0, left); x < std::min(image_.width, right); ++x) {
            set(x, y, colour.red, colour.green, colour.blue);
        }
    }
}

void Canvas::text(int x, int y, const std::string& words, Rgb colour) {
    std::vector<char> quads(words.size() * 400 + 64);
    std::string copy = words;
    const int count = stb_easy_font_print(0, 0, copy.data(), nullptr, quads.data(),
                                          static_cast<int>(quads.size()));
    for (int q = 0; q < count; ++q) {
        const float* first = reinterpret_cast<const float*>(quads.data() + q * 64);
        const float* third = reinterpret_cast<const float*>(quads.data() + q * 64 + 32);
        rectangle(x + static_cast<int>(2 * first[0]), y + static_cast<int>(2 * first[1]),
                  x + static_cast<int>(2 * third[0]), y + static_cast<int>(2 * third[1]), colour);
    }
}

void Canvas::set(int x, int y, double red, double green, double blue) {
    uint8_t* pixel = &image_.pixels[(static_cast<size_t>(y) * image_.width + x) * 3];
    pixel[0] = static_cast<uint8_t>(std::clamp(std::lround(red), 0L, 255L));
    pixel[1] = static_cast<uint8_t>(std::clamp(std::lround(green), 0L, 255L));
    pixel[2] = static_cast<uint8_t>(std::clamp(std::lround(blue), 0L, 255L));
}

}  // namespace kestrin::formats
