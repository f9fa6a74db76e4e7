#include "engine/texture_layout.h"

#include "files/format_error.h"

namespace kestrin::formats {

float TextureLayout::u(size_t point) const {
    return static_cast<float>((static_cast<double>(point % width) + 0.5) / static_cast<double>(width));
}

float TextureLayout::v(size_t point) const {
    return static_cast<float>((static_cast<double>(point / width) + 0.5) / static_cast<double>(rows()));
}

TextureLayout textureLayout(size_t points, size_t frames, const std::string& path) {
    if (points == 0 || frames == 0) throw FormatError(path + ": a texture needs at least one point and one frame");
    TextureLayout layout;
    layout.points = points;
    layout.frames = frames;
    layout.rowsPerFrame = (points + textureMaxWidth - 1) / textureMaxWidth;
    layout.width = (points + layout.rowsPerFrame - 1) / layout.rowsPerFrame;
    // Checked by division: frames * rowsPerFrame may not fit in 32 bits.
    if (frames > textureMaxRows / layout.rowsPerFrame) {
        throw FormatError(path + ": the texture would be " + std::to_string(frames) + " frames x " +
                        std::to_string(layout.rowsPerFrame) + " row(s) per frame (" +
                        std::to_string(points) + " points, " + std::to_string(layout.width) +
                        " texels a row), over the " + std::to_string(textureMaxRows) +
                        " rows engines accept; write fewer frames at a time (--frames A-B)");
    }
    return layout;
}

}  // namespace kestrin::formats
