// Reads a weight map written as `kestrin weights` writes it ("point,weight",
// one row per point), for the Strainshaper effect's weight map.
#ifndef KESTRIN_FORMATS_CSV_READER_H
#define KESTRIN_FORMATS_CSV_READER_H

#include <string>
#include <vector>

namespace kestrin::formats {

// One weight per point, for a mesh of pointCount points. Rows may come in any
// order but each point must appear exactly once. Throws FormatError "PATH:LINE:
// what" for a malformed row, a point out of range, a repeated point or a
// weight that is not a finite number, and "PATH: what" for missing points.
std::vector<float> readWeightCsv(const std::string& path, size_t pointCount);

// An influence map: the same file, every weight within 0 to 1 (how much of
// its displacement a point takes). Throws FormatError "PATH: point N: ..."
// for the first weight outside.
std::vector<float> readInfluenceMap(const std::string& path, size_t pointCount);

}  // namespace kestrin::formats

#endif
