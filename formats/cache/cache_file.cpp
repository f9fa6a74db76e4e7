#include "cache/cache_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "files/atomic_file.h"
#include "files/file_bytes.h"
#include "files/finite_values.h"
#include "files/format_error.h"
#include "files/number_text.h"
#include "mesh/obj_reader.h"

namespace kestrin::formats {

static_assert(sizeof(Point3) == 3 * sizeof(double), "Point3 is three packed doubles");

uint32_t loadWord(const unsigned char* b, ByteOrder order) {
    if (order == ByteOrder::big) {
        return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | uint32_t(b[3]);
    }
    return uint32_t(b[3]) << 24 | uint32_t(b[2]) << 16 | uint32_t(b[1]) << 8 | uint32_t(b[0]);
}

float loadFloat(const unsigned char* bytes, ByteOrder order) {
    const uint32_t word = loadWord(bytes, order);
    float value;
    std::memcpy(&value, &word, sizeof value);
    return value;
}

void storeWord(unsigned char* b, uint32_t word, ByteOrder order) {
    for (int i = 0; i < 4; ++i) {
        const int shift = order == ByteOrder::big ? 24 - 8 * i : 8 * i;
        b[i] = static_cast<unsigned char>(word >> shift);
    }
}

void storeFloat(unsigned char* bytes, float value, ByteOrder order) {
    uint32_t word;
    std::memcpy(&word, &value, sizeof word);
    storeWord(bytes, word, order);
}

bool CacheCounts::fill(uint64_t fileSize) const {
    if (records < 0 || points < 0 || fileSize < headerBytes) return false;
    const uint64_t recordBytes = extraBytes + 12 * static_cast<uint64_t>(points);
    const uint64_t body = fileSize - headerBytes;
    // Records of no bytes (a cache of no points) fill only an empty body.
    if (recordBytes == 0) return body == 0;
    return static_cast<uint64_t>(records) <= body / recordBytes && body == static_cast<uint64_t>(records) * recordBytes;
}

void requireCounts(const CacheInput& file, const CacheCounts& counts, const CacheNames& names,
                   size_t expectedPoints) {
    const std::string records = std::to_string(counts.records) + " " + names.records;
    const std::string points = std::to_string(counts.points) + " points";
    if (counts.records < 0 || counts.points < 0) {
        throw FormatError(file.path() + ": not " + names.cache + ": negative count in the header (" +
                          (names.recordsFirst ? records + ", " + points : points + ", " + records) + ")");
    }
    if (!counts.fill(file.size())) {
        throw FormatError(file.path() + ": the header says " + records + " of " + points +
                          ", which does not match the file's " + std::to_string(file.size()) +
                          " bytes (truncated or not " + names.cache + ")");
    }
    if (expectedPoints != anyPointCount && static_cast<size_t>(counts.points) != expectedPoints) {
        throw FormatError(file.path() + ": the cache has " + points + " but the rest mesh has " +
                          std::to_string(expectedPoints));
    }
}

CacheInput::CacheInput(const std::string& path, int file) : path_(path) {
    file_ = file >= 0 ? ::fcntl(file, F_DUPFD_CLOEXEC, 0) : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file_ < 0) throw FormatError(path + ": cannot open: " + systemReason(errno));
    struct stat status {};
    if (::fstat(file_, &status) == 0 && S_ISDIR(status.st_mode)) {
        ::close(file_);
        throw FormatError(path + ": is a directory, not a point cache");
    }
    if (!isRegularFile(file_)) {
        // A pipe (a cache made on the fly, <(...)) is read at offsets, from
        // several threads: from a copy of it.
        const int pipe = file_;
        try {
            file_ = copyToUnnamedFile(pipe, path);
        } catch (...) {
            ::close(pipe);
            throw;
        }
        ::close(pipe);
    }
    if (::fstat(file_, &status) != 0) {
        const int error = errno;
        ::close(file_);
        throw FormatError(path + ": cannot read: " + systemReason(error));
    }
    size_ = static_cast<uint64_t>(status.st_size);
}

CacheInput::~CacheInput() { ::close(file_); }

void CacheInput::read(uint64_t offset, void* into, size_t count, const char* what) const {
    char* at = static_cast<char*>(into);
    while (count > 0) {
        const ssize_t got = ::pread(file_, at, count, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw FormatError(path_ + ": read error in " + what + ": " + systemReason(errno));
        if (got == 0) throw FormatError(path_ + ": ends inside " + what + " (truncated)");
        at += got;
        offset += static_cast<uint64_t>(got);
        count -= static_cast<size_t>(got);
    }
}

void CacheInput::readPoints(uint64_t offset, size_t pointCount, ByteOrder order, size_t frame,
                            Point3* out) const {
    // The frame's floats take 12 bytes a point, half of what the points
    // take: they are read into the front of out and widened from the last
    // point back, so that no allocation is needed. Widening point i writes
    // bytes [24i, 24i + 24), where only floats of points i and above lie,
    // and point i's own are loaded first.
    unsigned char* raw = reinterpret_cast<unsigned char*>(out);
    const std::string what = "frame " + std::to_string(frame);
    read(offset, raw, pointCount * 12, what.c_str());
    for (size_t i = pointCount; i-- > 0;) {
        unsigned char bytes[12];
        std::memcpy(bytes, raw + 12 * i, sizeof bytes);
        double xyz[3];
        for (int axis = 0; axis < 3; ++axis) {
            const double value = loadFloat(bytes + 4 * axis, order);
            if (!(std::fabs(value) <= largestCoordinate)) {
                throw FormatError(path_ + ": " + what + ", point " + std::to_string(i) +
                                ": coordinate " + shortestText(static_cast<float>(value)) +
                                (std::isfinite(value) ? " is too large (beyond 1e18)"
                                                      : " is not a finite number"));
            }
            xyz[axis] = value;
        }
        out[i] = {xyz[0], xyz[1], xyz[2]};
    }
}

CacheOutput::CacheOutput(const std::string& path) : path_(path) { file_ = createTemporary(path_, temporary_); }

CacheOutput::~CacheOutput() {
    if (file_ < 0) return;
    ::close(file_);
    removeTemporary(temporary_);
}

void CacheOutput::append(const void* bytes, size_t count) {
    const char* at = static_cast<const char*>(bytes);
    while (count > 0) {
        const ssize_t put = ::write(file_, at, count);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) throw FormatError(path_ + ": cannot write: " + systemReason(errno));
        at += put;
        count -= static_cast<size_t>(put);
    }
}

void CacheOutput::appendPoints(const Point3* points, size_t pointCount, ByteOrder order) {
    try {
        requireFinitePoints(points, pointCount, true);
    } catch (const FormatError& error) {
        throw FormatError(path_ + ": " + error.what());
    }
    // In slices, so a frame of any size needs only a small buffer.
    unsigned char slice[4096 * 12];
    size_t done = 0;
    while (done < pointCount) {
        const size_t count = std::min<size_t>(pointCount - done, 4096);
        for (size_t i = 0; i < count; ++i) {
            const Point3& p = points[done + i];
            storeFloat(slice + 12 * i, static_cast<float>(p.x), order);
            storeFloat(slice + 12 * i + 4, static_cast<float>(p.y), order);
            storeFloat(slice + 12 * i + 8, static_cast<float>(p.z), order);
        }
        append(slice, count * 12);
        done += count;
    }
}

std::string CacheOutput::finishStaged() {
    const int file = file_;
    file_ = -1;
    finishTemporary(file, temporary_, path_);
    return temporary_;
}

void CacheOutput::finish() { renameIntoPlace(finishStaged(), path_); }

FrameCacheWriter::FrameCacheWriter(const std::string& path, size_t pointCount, size_t frameCount,
                                   ByteOrder order, const char* unit)
    : file_(path), points_(pointCount), frames_(frameCount), order_(order), unit_(unit) {}

void FrameCacheWriter::appendFrame(const Point3* points) {
    if (written_ == frames_) {
        throw FormatError(file_.path() + ": more " + unit_ + " than the " + std::to_string(frames_) + " declared");
    }
    file_.appendPoints(points, points_, order_);
    ++written_;
}

std::string FrameCacheWriter::finishStaged() {
    if (written_ != frames_) {
        throw FormatError(file_.path() + ": " + std::to_string(written_) + " of " + std::to_string(frames_) + " " +
                          unit_ + " written");
    }
    return file_.finishStaged();
}

void FrameCacheWriter::finish() { renameIntoPlace(finishStaged(), file_.path()); }

}  // namespace kestrin::formats
