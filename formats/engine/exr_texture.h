// A whole shot as a half-float OpenEXR vertex-animation texture (layout:
// texture_layout.h), for engine materials: R, G, B half channels, scanlines
// from the top, RLE compression (lossless; the runs of zeros in the stretch
// and squash channels pack well, and three.js's EXR loader, which decodes
// PIZ wrongly and ZIP only with a library the page does not carry, reads it). Written frame by frame: a frame's rows are
// converted and handed to OpenEXR, which keeps at most one 32-line block, so
// memory does not grow with the shot.
//
// Header attributes beside the standard ones, all named "kestrin.*":
//   content       string  "tension", "displacement", "position" or "measures"
//   channels      string  what R, G and B hold
//   measures      string  a measures texture's sets in R, G, B order, by
//                         comma ("along,across,area"); only there
//   layout        string  how a point and frame select a texel
//   points, frames, width, rowsPerFrame   int
//   startFrame    float   the first frame's number, as the point caches count it
//   rangeR, rangeG, rangeB   v2f   each channel's smallest and largest value
// The ranges are filled in when the shot is complete, over placeholders of
// the same size in the header.
#ifndef KESTRIN_FORMATS_EXR_TEXTURE_H
#define KESTRIN_FORMATS_EXR_TEXTURE_H

#include <memory>
#include <string>
#include <vector>

#include "kestrin_types.h"
#include "mesh/shot_writer.h"
#include "engine/texture_layout.h"

namespace kestrin::formats {

enum class TextureContent {
    tension,       // R stretch (weight > 0), G squash (-weight where < 0), B the signed weight
    displacement,  // R, G, B: corrected position minus pose position, x, y, z
    position,      // R, G, B: corrected position, x, y, z
    measures,      // R, G, B: the signed weights of up to three weight sets (ShotLayout::measures), 0 past the last
};

// The largest finite half float; values beyond it cannot be stored.
constexpr float halfLargest = 65504.0f;

class ExrTexture : public ShotWriter {
public:
    // Starts the texture under a temporary name beside `path`. startFrame is
    // the first frame's number as the point caches count it (ShotLayout).
    // Throws FormatError when the file cannot be written.
    // `measures`: the sets of a measures texture, at most three.
    ExrTexture(std::string path, const TextureLayout& layout, TextureContent content, float startFrame,
               const std::vector<MeasureName>& measures = {});
    // Removes the unfinished file unless finishStaged() ran.
    ~ExrTexture();
    ExrTexture(const ExrTexture&) = delete;
    ExrTexture& operator=(const ExrTexture&) = delete;

    // The next frame: its weights for a tension texture, its pose and
    // corrected positions otherwise. Throws FormatError naming the file,
    // frame and point for a value that is not finite or beyond halfLargest,
    // and past the last frame.
    void append(const PoseFrame& frame) override;
    // Completes the file, fills in the ranges, and returns the temporary
    // name for the caller to rename; throws FormatError unless every frame
    // was given.
    std::string finishStaged() override;

private:
    void addWeights(const float* weights);
    void addMeasures(const std::vector<std::vector<float>>& sets);
    void addPositions(const Point3* pose, const Point3* corrected);
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

// The registry's whole-shot writers (output_formats.h): a weight run's
// tension texture, or its measures texture when layout.measures names
// several sets (more than three are refused); a morph run's displacement
// texture, or its position texture when layout.texturePositions. Both
// refuse, before any pose, a texture taller than engines take
// (texture_layout.h), and in a build without OpenEXR any texture at all.
std::unique_ptr<ShotWriter> exrWeightsShot(const std::string& path, const ShotLayout& layout);
std::unique_ptr<ShotWriter> exrMeshShot(const std::string& path, const ShotLayout& layout);

}  // namespace kestrin::formats

#endif
