// Per-pose weights as a NumPy .npy file (format version 1.0): little-endian
// float32 ('<f4'), C order, shape (poses, points), one row per pose. The
// header is padded so that the data starts at a multiple of 64 bytes; rows
// are appended in order, never all in memory.
#ifndef KESTRIN_FORMATS_NPY_WRITER_H
#define KESTRIN_FORMATS_NPY_WRITER_H

#include <stddef.h>

#include <string>

#include "cache/cache_file.h"
#include "mesh/shot_writer.h"

namespace kestrin::formats {

// The header's bytes for a (poses, points) float32 array, data offset included.
std::string npyHeader(size_t poses, size_t points);

class NpyWriter {
public:
    NpyWriter(const std::string& path, size_t poses, size_t points);
    // The next pose's row (points values). Throws FormatError past the last
    // row, or for a value that is not finite.
    void appendRow(const float* values);
    // Puts the file in place; throws FormatError unless every row was given.
    void finish();
    // The same, left under its temporary name for the caller to rename.
    std::string finishStaged();

private:
    CacheOutput file_;
    size_t poses_;
    size_t points_;
    size_t written_ = 0;
};

// The shot's weights, for the output registry.
std::unique_ptr<ShotWriter> npyShot(const std::string& path, const ShotLayout& layout);

}  // namespace kestrin::formats

#endif
