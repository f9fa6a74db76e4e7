// The benchmark shot on disk: a square quad grid (500 x 500 by default:
// 250,000 points, 249,001 quads) at rest and in 20 poses, as OBJ files and
// as an MDD cache. The shot bench, the page-load bench, the Python bench and
// the scaling figures (bench/figures/) read the same files.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kestrin::bench {

constexpr int gridSide = 500;
constexpr int poseCount = 20;

// Point positions of a side x side grid, x y z per point, row by row; pose
// -1 is the rest grid.
std::vector<float> posePositions(int pose, int side = gridSide);

// The side x side grid's points at `xyz` and its quads, as an OBJ file.
void writeObj(const std::string& path, const std::vector<float>& xyz, int side = gridSide);

// `frames` frames cycling through the 20 poses, as a big-endian MDD cache.
void writeMdd(const std::string& path, int frames, int side = gridSide);

// A big-endian MDD cache of `frames` frames of `points` points, frame f at
// f / 24 seconds, its x y z from positions(f).
void writeMddWith(const std::string& path, int frames, int points,
                  const std::function<std::vector<float>(int frame)>& positions);

}  // namespace kestrin::bench
