// A whole shot as one self-contained HTML page: the posed mesh of every pose
// as a heat map in a 3D viewer (three.js, inlined), with a frame slider and
// playback, for opening from disk in a browser. Written as a stream, one
// frame at a time, so a long shot of a large mesh never sits in memory.
//
// Data layout inside the page (all binary little-endian, base64 in comments
// <!--kestrin-block-N BASE64--> in the body, written as the frames arrive;
// the index follows them and names blocks by "kestrin-block-N"):
//   triangles  uint32 x 3 per triangle, the polygons split on the rest
//              mesh (mesh/triangulation.h), written once
//   positions  per frame: "u16" = uint16 x 3 per point, each coordinate
//              min + q * (max - min) / 65535 on the frame's own box, or
//              "f32" = float32 x 3 per point when a coordinate is not finite
//   weights    per frame: float32 per point, exactly the tool's values; a
//              frame whose weights equal the previous frame's shares its block
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
//              cache frame's), which the viewer shows (no block)
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
    ShotPage(std::string path, const std::vector<Point3>& points, const Polygons& polygons, ShotKind kind,
             double rate = 24.0);
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

    // Completes the page and renames it over `path`.
    void finish();
    // Completes the page and leaves it under its temporary name, which it
    // returns, for a caller that renames several files together.
    std::string finishStaged();

    int frameCount() const { return static_cast<int>(frames_.size()); }

private:
    std::string writeBlock(const void* data, size_t size);
    std::string positionsEntry(const std::vector<Point3>& positions);
    std::string displacementEntry(const std::vector<Point3>& from, const std::vector<Point3>& to);
    void put(std::string_view text);

    std::string path_;
    std::string temporary_;
    FILE* file_ = nullptr;
    size_t pointCount_;
    size_t triangleCount_ = 0;
    ShotKind kind_;
    double rate_;
    int blockCount_ = 0;
    std::vector<std::string> frames_;  // each frame's JSON index entry
    std::vector<float> lastWeights_;
    std::string lastWeightsEntry_;
    double largestMove_ = 0.0;
};

// The shot as a page of weights, for the output registry.
std::unique_ptr<ShotWriter> weightsPage(const std::string& path, const ShotLayout& layout);
// The shot as a page of poses and their corrections.
std::unique_ptr<ShotWriter> morphPage(const std::string& path, const ShotLayout& layout);

}  // namespace kestrin::formats

#endif
