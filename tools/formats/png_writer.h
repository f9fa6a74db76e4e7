// The posed mesh drawn as a shaded heat map of its weights, from a fixed
// three-quarter view fitted to where its drawn points lie (a few stray points
// far off are clipped rather than framed), with a colour legend: a
// small software rasteriser (z-buffer, Gouraud shading), no graphics stack.
#ifndef KESTRIN_TOOL_PNG_WRITER_H
#define KESTRIN_TOOL_PNG_WRITER_H

#include <stdint.h>

#include <string>
#include <vector>

#include "mesh_data.h"

namespace kestrin::tool {

// Rows top to bottom, 3 bytes (R, G, B) per pixel.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // width * height * 3 bytes
};

// Renders mesh (polygons fan-split into triangles) coloured by weights (one
// per point) with the diverging colour map, the legend on the right.
Image renderHeatMap(const MeshData& mesh, const std::vector<float>& weights, int width = 800,
                    int height = 600);

// The image as PNG file bytes.
std::string encodePng(const Image& image);

}  // namespace kestrin::tool

#endif
