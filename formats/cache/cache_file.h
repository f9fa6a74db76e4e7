// What the point-cache formats (MDD, PC2, NPY) share: an input file read
// frame by frame with pread, its size checked before anything is allocated,
// and an output file written in order under a temporary name and renamed
// into place once whole.
#ifndef KESTRIN_FORMATS_CACHE_FILE_H
#define KESTRIN_FORMATS_CACHE_FILE_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <utility>

#include "kestrin_types.h"
#include "mesh/shot_writer.h"

namespace kestrin::formats {

// A reader's expected point count that takes whatever the header says (a
// cache read without a rest mesh to match).
constexpr size_t anyPointCount = SIZE_MAX;

// Byte order of a cache's numbers.
enum class ByteOrder { little, big };

uint32_t loadWord(const unsigned char* bytes, ByteOrder order);
float loadFloat(const unsigned char* bytes, ByteOrder order);
void storeWord(unsigned char* bytes, uint32_t word, ByteOrder order);
void storeFloat(unsigned char* bytes, float value, ByteOrder order);

// What a cache's header says of its size: after headerBytes, `records`
// records (MDD's frames, PC2's samples), each extraBytes (MDD's time) and
// `points` (x, y, z) floats.
struct CacheCounts {
    int32_t records = 0;
    int32_t points = 0;
    uint64_t headerBytes = 0;
    uint64_t extraBytes = 0;

    // Whether neither count is negative and the records fill a file of
    // fileSize bytes exactly, worked out in a form that cannot overflow.
    bool fill(uint64_t fileSize) const;
};

// How a format's messages name it: "an MDD cache" with its "frames", and
// whether its header gives the record count before the point count.
struct CacheNames {
    const char* cache;
    const char* records;
    bool recordsFirst;
};

class CacheInput;

// Checks a header's counts against its file: throws FormatError "PATH: ..."
// when a count is negative, when the records do not fill the file exactly,
// or when the points are not expectedPoints (unless anyPointCount).
void requireCounts(const CacheInput& file, const CacheCounts& counts, const CacheNames& names,
                   size_t expectedPoints);

// An open cache file to read. Not copyable; reads may come from several
// threads at once (pread, no shared position).
class CacheInput {
public:
    // Opens `path`, or takes `file` when given (a descriptor of the cache
    // already open, which it duplicates); one that cannot be read at offsets
    // (a pipe) is copied to an unnamed file first. Throws FormatError
    // "PATH: ..." when it cannot be opened or read, or is a folder.
    explicit CacheInput(const std::string& path, int file = -1);
    ~CacheInput();
    CacheInput(const CacheInput&) = delete;
    CacheInput& operator=(const CacheInput&) = delete;

    const std::string& path() const { return path_; }
    uint64_t size() const { return size_; }
    // Reads exactly `count` bytes at `offset`; throws FormatError "PATH: ..."
    // (naming `what`) when the file ends first.
    void read(uint64_t offset, void* into, size_t count, const char* what) const;
    // Frame `frame` of pointCount (x, y, z) floats at `offset` into out
    // (pointCount entries), each coordinate checked: finite and within the
    // readers' largest coordinate.
    void readPoints(uint64_t offset, size_t pointCount, ByteOrder order, size_t frame,
                    Point3* out) const;

private:
    std::string path_;
    int file_ = -1;
    uint64_t size_ = 0;
};

// A cache file being written: bytes appended in order to a temporary file
// beside `path`, renamed over it by finish(). Destroyed unfinished, it
// removes the temporary file, leaving any earlier file at path as it was.
class CacheOutput {
public:
    explicit CacheOutput(const std::string& path);
    ~CacheOutput();
    CacheOutput(const CacheOutput&) = delete;
    CacheOutput& operator=(const CacheOutput&) = delete;

    const std::string& path() const { return path_; }
    void append(const void* bytes, size_t count);
    // pointCount points as (x, y, z) floats; throws FormatError "PATH: point N:
    // ..." before writing anything when a coordinate is not finite or does
    // not fit a float.
    void appendPoints(const Point3* points, size_t pointCount, ByteOrder order);
    // Puts the file in place.
    void finish();
    // Completes the file under its temporary name and returns that name, for
    // a caller that renames several outputs into place together; the file is
    // then the caller's.
    std::string finishStaged();

private:
    std::string path_;
    std::string temporary_;
    int file_ = -1;
};

// A point cache being written: its header (the format's own writer appends
// it first), then frameCount frames of pointCount points in one byte order.
class FrameCacheWriter {
public:
    // The next frame (pointCount points). Throws FormatError past the last,
    // or for a coordinate that is not finite or does not fit a float.
    void appendFrame(const Point3* points);
    // Puts the file in place; throws FormatError unless every frame was given.
    void finish();
    // The same, left under its temporary name for the caller to rename.
    std::string finishStaged();

protected:
    // `unit` names a frame in messages ("frames", "samples").
    FrameCacheWriter(const std::string& path, size_t pointCount, size_t frameCount, ByteOrder order,
                     const char* unit);
    CacheOutput file_;

private:
    size_t points_;
    size_t frames_;
    ByteOrder order_;
    const char* unit_;
    size_t written_ = 0;
};

// A point cache's writer as a whole-shot file of corrected positions: Writer
// takes each frame with appendFrame(points) and completes with finishStaged().
template <typename Writer>
class CorrectedCacheShot : public ShotWriter {
public:
    template <typename... Arguments>
    explicit CorrectedCacheShot(Arguments&&... arguments) : writer_(std::forward<Arguments>(arguments)...) {}
    void append(const PoseFrame& frame) override { writer_.appendFrame(frame.corrected->points.data()); }
    std::string finishStaged() override { return writer_.finishStaged(); }

private:
    Writer writer_;
};

}  // namespace kestrin::formats

#endif
