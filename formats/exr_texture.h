// A whole shot as a half-float OpenEXR vertex-animation texture (layout:
// texture_layout.h), for engine materials: R, G, B half channels, scanlines
// from the top, RLE compression (lossless; the runs of zeros in the stretch
// and squash channels pack well, and three.js's EXR loader, which decodes
// PIZ wrongly and ZIP only with a library the page does not carry, reads it). Written frame by frame: a frame's rows are
// converted and handed to OpenEXR, which keeps at most one 32-line block, so
// memory does not grow with the shot.
//
// Header attributes beside the standard ones, all named "kestrin.*":
//   content       string  "tension", "displacement" or "position"
//   channels      string  what R, G and B hold
//   layout        string  how a point and frame select a texel
//   points, frames, width, rowsPerFrame, firstFrame   int
//   rangeR, rangeG, rangeB   v2f   each channel's smallest and largest value
// The ranges are filled in when the shot is complete, over placeholders of
// the same size in the header.
#ifndef KESTRIN_FORMATS_EXR_TEXTURE_H
#define KESTRIN_FORMATS_EXR_TEXTURE_H

#include <memory>
#include <string>
#include <vector>

#include "kestrin_types.h"
#include "texture_layout.h"

namespace kestrin::tool {

enum class TextureContent {
    tension,       // R stretch (weight > 0), G squash (-weight where < 0), B the signed weight
    displacement,  // R, G, B: corrected position minus pose position, x, y, z
    position,      // R, G, B: corrected position, x, y, z
};

// The largest finite half float; values beyond it cannot be stored.
constexpr float halfLargest = 65504.0f;

class ExrTexture {
public:
    // Starts the texture under a temporary name beside `path`. firstFrame is
    // the frame number of the texture's first frame. Throws ToolError when
    // the file cannot be written.
    ExrTexture(std::string path, const TextureLayout& layout, TextureContent content, int firstFrame);
    // Removes the unfinished file unless finishStaged() ran.
    ~ExrTexture();
    ExrTexture(const ExrTexture&) = delete;
    ExrTexture& operator=(const ExrTexture&) = delete;

    // The next frame of a tension texture: layout.points weights.
    void addWeights(const float* weights);
    // The next frame of a displacement or position texture: layout.points
    // pose positions and as many corrected ones.
    void addPositions(const Point3* pose, const Point3* corrected);
    // Both throw ToolError naming the file, frame and point for a value that
    // is not finite or beyond halfLargest, and past the last frame.

    // Completes the file, fills in min and max, and returns the temporary
    // name for the caller to rename; throws ToolError unless every frame was
    // given.
    std::string finishStaged();

private:
    struct Open;
    void put(size_t point, float r, float g, float b);
    void writeFrame();

    std::string path_;
    std::string temporary_;
    TextureLayout layout_;
    TextureContent content_;
    std::unique_ptr<Open> open_;       // the OpenEXR file while it is being written
    std::vector<uint16_t> frameBits_;  // one frame's rows, RGB interleaved, half bits
    size_t frame_ = 0;
    float low_[3];
    float high_[3];
};

// Whether this build writes .exr files (it needs OpenEXR).
bool exrSupported();

}  // namespace kestrin::tool

#endif
