// A whole shot as one self-contained HTML page: the posed mesh of every pose
// as a heat map in a 3D viewer (three.js, inlined), with a frame slider and
// playback, for opening from disk in a browser. Written as a stream, one
// frame at a time, so a long shot of a large mesh never sits in memory.
//
// Data layout inside the page (all binary little-endian, packed as
// page/packed_words.h says: each word less its prediction, byte planes,
// deflated; then base64 in comments <!--kestrin-block-N BASE64--> in the
// body, written as the frames arrive; the index follows them and names each
// block by "kestrin-block-N" with "predict": "frame" (less the same word of
// the last earlier block of that part) or "point" (less the word before it;
// every tenth frame's, so that a frame is read from at most ten). Triples
// lie axis by axis: every point's x, then every y, every z.
//   triangles  uint32 x 3 per triangle, the polygons split on the rest
//              mesh (mesh/triangulation.h), written once
//   positions  per frame: "u16" = uint16 x 3 per point, each coordinate
//              min + q * (max - min) / 65535 on the frame's own box, or
//              "f32" = float32 x 3 per point when a coordinate is not finite
//   weights    per frame: "i16" = int16 per point, q * range / 32767 with
//              range the frame's colour range (files/colour_map.h), -32768
//              for not a number: within 1/65534 of the range of the tool's
//              value; or "f32" = float32 per point, exactly the tool's
//              values, when one is infinite. A frame whose weights equal the
//              previous frame's shares its block
//   measures   a page of several weight sets (Grainmark's measures): per
//              frame, {name: entry}, each entry as "weights" says, coded and
//              predicted set by set; "weights" is then the first set's entry
//              again. The index lists the sets, [{name, help}], in order
//   displacement  morph shots, per frame: each point's corrected position
//              minus its pose (the viewer draws the corrected mesh as pose +
//              displacement): "s16" = int16 x 3 per point, each coordinate
//              q * scale / 32767 with scale the frame's largest |displacement|
//              along that axis, so a point that did not move reads exactly 0
//              and every other coordinate is within 1/65534 of its axis's
//              scale (half a step), before the viewer rounds it to float32;
//              or "f32" = float32 x 3 per point when one is not finite
//   corrected  morph shots, per frame: the corrected mesh's box, {min, max},
//              which the viewer frames the shot on (no block)
//   frame      per frame: its number in the shot (a pose file's number, a
//              cache frame's), which the viewer shows and a link's
//              "#frame=N" opens at (no block)
//   colours    the colour map's ends and its colour for not a number, as
//              [r, g, b] (files/colour_map.h), which the viewer colours by
// The index is JSON in <script type="application/json" id="kestrin-shot">.
#ifndef KESTRIN_FORMATS_SHOT_PAGE_H
#define KESTRIN_FORMATS_SHOT_PAGE_H

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <string_view>
#include <vector>

#include "polygons.h"

#include "kestrin_types.h"
#include "mesh/shot_writer.h"

namespace kestrin::formats {

// weights: posed meshes coloured by weight. morph: also the corrected mesh of
// each pose, with a toggle and a colouring by how far each point moved.
enum class ShotKind { weights, morph };

class ShotPage {
public:
    // Starts the page under a temporary name beside `path` and writes the
    // faces (point-index lists, any size; fewer than 3 corners draw nothing),
    // split into triangles on `points` (the rest mesh's). `rate` is the
    // playback rate in frames per second. Throws FormatError when the file
    // cannot be written or a face names a point past points.size().
    // `measures`: the weight sets of a page of several (at least two),
    // which addMeasures() then gives; empty for a page of one set.
    ShotPage(std::string path, const std::vector<Point3>& points, const Polygons& polygons, ShotKind kind,
             double rate = 24.0, std::vector<MeasureName> measures = {});
    // Removes the unfinished page unless finish() or finishStaged() ran.
    ~ShotPage();
    ShotPage(const ShotPage&) = delete;
    ShotPage& operator=(const ShotPage&) = delete;

    // Appends a frame: its number in the shot (what the page shows, "frame
    // 11 of 11-20"), pointCount positions, pointCount weights or none (the
    // page then colours a morph shot by movement only), and for a morph shot
    // the corrected positions (pointCount of them). Throws FormatError on a
    // wrong count or a failed write.
    void addFrame(int number, const std::vector<Point3>& positions, const std::vector<float>& weights,
                  const std::vector<Point3>* corrected = nullptr);
    // The same for a weights page of several sets: each set's pointCount
    // weights, in the constructor's order. Throws FormatError on a wrong
    // count of sets or of weights, or a failed write.
    void addMeasures(int number, const std::vector<Point3>& positions,
                     const std::vector<std::vector<float>>& measures);

    // Completes the page and renames it over `path`.
    void finish();
    // Completes the page and leaves it under its temporary name, which it
    // returns, for a caller that renames several files together.
    std::string finishStaged();

    int frameCount() const { return static_cast<int>(frames_.size()); }

private:
    // One weight set's last frame, which the next frame's is coded against.
    struct WeightHistory {
        std::vector<float> weights;
        std::string entry;
        // Its codes, which the next frame's are predicted by; empty when it
        // held none (float32).
        std::vector<uint16_t> codes;
        float range = 0.0f;
    };
    std::string writeBlock(const std::string& packed);
    template <typename Word>
    std::string packedEntry(const std::vector<Word>& words, const Word* previous);
    std::string floatTriplesEntry(const std::vector<double>& values);
    std::string positionsEntry(const std::vector<Point3>& positions);
    std::string displacementEntry(const std::vector<Point3>& from, const std::vector<Point3>& to);
    std::string weightsEntry(const std::vector<float>& weights, WeightHistory& history);
    const std::string& weightsField(const std::vector<float>& weights, WeightHistory& history);
    void checkFrame(const std::vector<Point3>& positions, const std::vector<float>& weights,
                    const std::vector<Point3>* corrected) const;
    bool keyFrame() const;
    void put(std::string_view text);

    std::string path_;
    std::string temporary_;
    FILE* file_ = nullptr;
    size_t pointCount_;
    size_t triangleCount_ = 0;
    ShotKind kind_;
    double rate_;
    int blockCount_ = 0;
    std::string trianglesEntry_;
    std::vector<std::string> frames_;  // each frame's JSON index entry
    std::vector<MeasureName> measures_;
    std::vector<WeightHistory> weightHistory_;  // one per set
    // The last frame's codes, which the next frame's are predicted by; empty
    // when that frame held none (float32).
    std::vector<uint16_t> lastPositionCodes_;
    double largestMove_ = 0.0;
};

// What a browser opens readily: past it a page takes minutes to open, or
// fails to.
constexpr double pageBudgetBytes = 100e6;

// Empty, or the warning to give before writing a page of this shot (`name`,
// `kind`) that would come to more than pageBudgetBytes: its size, estimated
// at the packing's rate on a shot that moves as animations do, and how many
// frames a page holds within the budget.
std::string pageSizeWarning(const std::string& name, const ShotLayout& layout, ShotKind kind);

// The shot as a page of weights, for the output registry.
std::unique_ptr<ShotWriter> weightsPage(const std::string& path, const ShotLayout& layout);
// The shot as a page of poses and their corrections.
std::unique_ptr<ShotWriter> morphPage(const std::string& path, const ShotLayout& layout);

}  // namespace kestrin::formats

#endif
