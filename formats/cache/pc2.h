// PC2 point caches, little-endian: the 12 bytes "POINTCACHE2\0", int32
// version (1), int32 point count, float32 start frame, float32 sample rate,
// int32 sample count, then per sample point count x (x, y, z) float32. Read
// and written sample by sample; a whole cache is never in memory.
#ifndef KESTRIN_FORMATS_PC2_H
#define KESTRIN_FORMATS_PC2_H

#include <stddef.h>

#include <string>
#include <vector>

#include "cache/cache_file.h"

namespace kestrin::formats {

class Pc2Reader {
public:
    // Opens the cache and checks its header against the file's size. Throws
    // FormatError "PATH: ..." for another signature or version, a file
    // shorter or longer than its counts say, a negative count, a start or
    // rate that is not finite, or a point count other than expectedPoints.
    // `file`: the cache already open, as CacheInput takes it.
    Pc2Reader(const std::string& path, size_t expectedPoints, int file = -1);

    size_t frameCount() const { return samples_; }
    size_t pointCount() const { return points_; }
    // Frame i is at startFrame() + i * sampleRate() (in the host's frames).
    float startFrame() const { return start_; }
    float sampleRate() const { return rate_; }
    // Sample `frame` (< frameCount()) into out (pointCount() entries); throws
    // FormatError for a coordinate that is not finite or beyond 1e18. Safe
    // from several threads at once.
    void readFrame(size_t frame, Point3* out) const;
    void readFrame(size_t frame, std::vector<Point3>& out) const;

private:
    CacheInput file_;
    size_t points_ = 0;
    size_t samples_ = 0;
    float start_ = 0.0f;
    float rate_ = 1.0f;
};

// Whether the open file (a pipe's copy, with no name to go by) starts as a
// PC2 cache does.
bool holdsPc2(int file);

class Pc2Writer : public FrameCacheWriter {
public:
    // Writes the header for frameCount samples of pointCount points.
    Pc2Writer(const std::string& path, size_t pointCount, size_t frameCount, float startFrame,
              float sampleRate);
};

// The shot's corrected positions, for the output registry.
std::unique_ptr<ShotWriter> pc2Shot(const std::string& path, const ShotLayout& layout);

}  // namespace kestrin::formats

#endif
