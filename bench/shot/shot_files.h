// The benchmark shot on disk: a 500 x 500 quad grid (250,000 points, 249,001
// quads) at rest and in 20 poses, as OBJ files and as an MDD cache. The shot
// bench and the page-load bench read the same files.
#pragma once

#include <string>
#include <vector>

namespace kestrin::bench {

constexpr int gridSide = 500;
constexpr int poseCount = 20;

// Point positions, x y z per point, row by row; pose -1 is the rest grid.
std::vector<float> posePositions(int pose);

// The grid's points at `xyz` and its quads, as an OBJ file.
void writeObj(const std::string& path, const std::vector<float>& xyz);

// `frames` frames cycling through the 20 poses, as a big-endian MDD cache.
void writeMdd(const std::string& path, int frames);

}  // namespace kestrin::bench
