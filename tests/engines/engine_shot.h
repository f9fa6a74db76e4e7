// What the engine tests share: a bendable tube as OBJ files, the shot's
// arguments, and readers of what the tool wrote (.npy weights, the .exr
// texture with its layout, the rest points by position).
#ifndef KESTRIN_TESTS_ENGINE_SHOT_H
#define KESTRIN_TESTS_ENGINE_SHOT_H

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "tool_runner.h"

#ifdef KESTRIN_WITH_OPENEXR
#include <Imath/half.h>
#endif

namespace kestrin::test {

// The text in single quotes, for a shell command.
std::string quoted(const std::string& text);

// A tube of `rings` rings of `around` points along y, bent about z by
// `bend` radians spread over its length: the outside of the bend
// stretches, the inside squashes. Quads; with UVs, the seam at the first
// column repeats its points with u = 1 (a UV seam: split vertices).
struct Tube {
    int rings;
    int around;
    // The OBJ text: points only, or with UVs and quads.
    std::string obj(double bend, bool withFaces) const;
    size_t points() const { return static_cast<size_t>(rings) * around; }
};

// Writes the tube's rest mesh and `poses` bent poses; returns the weights
// arguments up to the outputs.
std::vector<std::string> tubeShot(const ScratchDirectory& scratch, const Tube& tube, int poses);

// Each point of an OBJ file's first `count` points (one `v x y z` line
// each), by its position as a float: how the tests find the point of a
// vertex an engine or a file gives back.
std::map<std::tuple<float, float, float>, size_t> pointsByPosition(const std::string& path, size_t count);

// The (poses, points) float32 array of a .npy file the tool wrote.
std::vector<float> npyValues(const std::string& path, size_t* poses, size_t* points);

#ifdef KESTRIN_WITH_OPENEXR

struct Texture {
    int width = 0, rows = 0, rowsPerFrame = 0, frames = 0;
    std::vector<half> rgb;  // rows x width x 3
    float range[3][2];
    std::string measures;  // kestrin.measures, when there
};

Texture readExr(const std::string& path);

#endif

}  // namespace kestrin::test

#endif
