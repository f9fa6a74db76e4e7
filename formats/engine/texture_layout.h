// Where a shot's per-point values sit in a vertex-animation texture (the
// .exr outputs) and how the mesh (.glb) addresses them: one row of texels per
// frame, one column per point, wrapped into several rows per frame when the
// points exceed the widest texture engines take. Point p of frame f is the
// texel at column p % width, row f * rowsPerFrame + p / width, counting rows
// from the top of the image, as OpenEXR and glTF both do.
#ifndef KESTRIN_FORMATS_TEXTURE_LAYOUT_H
#define KESTRIN_FORMATS_TEXTURE_LAYOUT_H

#include <stddef.h>

#include <string>

namespace kestrin::formats {

// Texture sizes every current engine and GPU accept.
constexpr size_t textureMaxWidth = 8192;
constexpr size_t textureMaxRows = 16384;

struct TextureLayout {
    size_t points = 0;
    size_t frames = 0;
    size_t width = 0;         // columns; at most textureMaxWidth
    size_t rowsPerFrame = 0;  // ceil(points / width)
    size_t rows() const { return frames * rowsPerFrame; }
    // The centre of point p's texel in frame 0, as glTF texture coordinates
    // (u to the right, v down from the image's top edge, both 0..1). Frame f
    // is the same u, v + f * rowsPerFrame / rows().
    float u(size_t point) const;
    float v(size_t point) const;
};

// The layout of `frames` frames of `points` points: a single row per frame
// up to textureMaxWidth points, else as few rows as fit, the points spread
// evenly over them. Throws FormatError naming `path` when the texture would
// need more than textureMaxRows rows, or when there is nothing to lay out.
TextureLayout textureLayout(size_t points, size_t frames, const std::string& path);

}  // namespace kestrin::formats

#endif
