// MDD point caches, big-endian: int32 frame count, int32 point count, one
// float32 time (seconds) per frame, then per frame point count x (x, y, z)
// float32. Read and written frame by frame; a whole cache is never in memory.
#ifndef KESTRIN_FORMATS_MDD_H
#define KESTRIN_FORMATS_MDD_H

#include <stddef.h>

#include <string>
#include <vector>

#include "cache/cache_file.h"

namespace kestrin::formats {

class MddReader {
public:
    // Opens the cache and checks its header against the file's size before
    // allocating anything. Throws FormatError "PATH: ..." for a file shorter
    // or longer than its counts say, a negative count, or a point count
    // other than expectedPoints (the rest mesh's).
    // `file`: the cache already open, as CacheInput takes it.
    MddReader(const std::string& path, size_t expectedPoints, int file = -1);

    size_t frameCount() const { return times_.size(); }
    size_t pointCount() const { return points_; }
    float frameTime(size_t frame) const { return times_[frame]; }
    // Frame `frame` (< frameCount()) into out (pointCount() entries); throws
    // FormatError for a coordinate that is not finite or beyond 1e18. Safe
    // from several threads at once.
    void readFrame(size_t frame, Point3* out) const;
    void readFrame(size_t frame, std::vector<Point3>& out) const;

private:
    CacheInput file_;
    size_t points_ = 0;
    std::vector<float> times_;
};

// Whether the open file (a pipe's copy, with no name to go by) is an MDD
// cache of pointCount points: its header's counts fill it exactly.
bool holdsMdd(int file, size_t pointCount);

class MddWriter : public FrameCacheWriter {
public:
    // Writes the header: one frame per entry of times, pointCount points each.
    MddWriter(const std::string& path, size_t pointCount, const std::vector<float>& times);
};

// The shot's corrected positions, for the output registry.
std::unique_ptr<ShotWriter> mddShot(const std::string& path, const ShotLayout& layout);

}  // namespace kestrin::formats

#endif
