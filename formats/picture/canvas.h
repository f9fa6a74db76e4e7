// A small software rasteriser, no graphics stack: triangles with a z-buffer
// and colours interpolated across them (Gouraud shading), filled rectangles
// and text, drawn into an Image.
#ifndef KESTRIN_FORMATS_CANVAS_H
#define KESTRIN_FORMATS_CANVAS_H

#include <string>
#include <vector>

#include "files/colour_map.h"
#include "picture/image.h"

namespace kestrin::formats {

// A triangle's corner on screen: pixels from the top left, a depth that is
// larger nearer the viewer, and its shaded colour, 0..255.
struct ScreenVertex {
    double x, y, depth;
    double red, green, blue;
};

class Canvas {
public:
    // Draws into image, which must outlive the canvas. Triangles are clipped
    // at x = drawRight, left of what the caller keeps for itself.
    Canvas(Image& image, int drawRight);

    // Pixels whose centres lie inside the triangle and nearer than what is
    // drawn there already.
    void triangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c);
    // Fills [left, right) x [top, bottom), clipped to the image.
    void rectangle(int left, int top, int right, int bottom, Rgb colour);
    // Text in stb's quad font at twice its size, top-left at (x, y).
    void text(int x, int y, const std::string& words, Rgb colour);

private:
    void set(int x, int y, double red, double green, double blue);

    Image& image_;
    int drawRight_;
    std::vector<double> depth_;
};

}  // namespace kestrin::formats

#endif
