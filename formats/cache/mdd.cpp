#include "cache/mdd.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>

#include "files/atomic_file.h"
#include "files/format_error.h"

namespace kestrin::formats {
namespace {

constexpr ByteOrder order = ByteOrder::big;
constexpr uint64_t headerBytes = 8;
constexpr uint64_t pointBytes = 12;
constexpr CacheNames names = {"an MDD cache", "frames", true};

// The header's frame and point counts; each frame is its time and its points.
CacheCounts countsOf(const unsigned char* header) {
    return {static_cast<int32_t>(loadWord(header, order)), static_cast<int32_t>(loadWord(header + 4, order)),
            headerBytes, 4};
}

}  // namespace

MddReader::MddReader(const std::string& path, size_t expectedPoints, int file) : file_(path, file) {
    unsigned char header[headerBytes];
    file_.read(0, header, sizeof header, "the header");
    const CacheCounts counts = countsOf(header);
    requireCounts(file_, counts, names, expectedPoints);
    points_ = static_cast<size_t>(counts.points);
    std::vector<unsigned char> bytes(static_cast<size_t>(counts.records) * 4);
    file_.read(headerBytes, bytes.data(), bytes.size(), "the frame times");
    times_.resize(static_cast<size_t>(counts.records));
    for (size_t i = 0; i < times_.size(); ++i) {
        times_[i] = loadFloat(&bytes[4 * i], order);
        if (!std::isfinite(times_[i])) {
            throw FormatError(path + ": the time of frame " + std::to_string(i) + " is not a finite number");
        }
    }
}

bool holdsMdd(int file, size_t pointCount) {
    unsigned char header[headerBytes];
    struct stat status {};
    if (::pread(file, header, sizeof header, 0) != static_cast<ssize_t>(sizeof header) || ::fstat(file, &status) != 0) {
        return false;
    }
    const CacheCounts counts = countsOf(header);
    return counts.fill(static_cast<uint64_t>(status.st_size)) && static_cast<size_t>(counts.points) == pointCount;
}

void MddReader::readFrame(size_t frame, Point3* out) const {
    if (frame >= frameCount()) {
        throw FormatError(file_.path() + ": no frame " + std::to_string(frame) + " (the cache has " +
                        std::to_string(frameCount()) + ")");
    }
    const uint64_t offset = headerBytes + 4 * uint64_t(frameCount()) + frame * pointBytes * points_;
    file_.readPoints(offset, points_, order, frame, out);
}

void MddReader::readFrame(size_t frame, std::vector<Point3>& out) const {
    out.resize(points_);
    readFrame(frame, out.data());
}

MddWriter::MddWriter(const std::string& path, size_t pointCount, const std::vector<float>& times)
    : FrameCacheWriter(path, pointCount, times.size(), order, "frames") {
    if (pointCount > INT32_MAX || times.size() > INT32_MAX) {
        throw FormatError(path + ": too many points or frames for an MDD cache");
    }
    std::vector<unsigned char> header(headerBytes + 4 * times.size());
    storeWord(&header[0], static_cast<uint32_t>(times.size()), order);
    storeWord(&header[4], static_cast<uint32_t>(pointCount), order);
    for (size_t i = 0; i < times.size(); ++i) {
        if (!std::isfinite(times[i])) {
            throw FormatError(path + ": the time of frame " + std::to_string(i) + " is not a finite number");
        }
        storeFloat(&header[headerBytes + 4 * i], times[i], order);
    }
    file_.append(header.data(), header.size());
}

std::unique_ptr<ShotWriter> mddShot(const std::string& path, const ShotLayout& layout) {
    return std::make_unique<CorrectedCacheShot<MddWriter>>(path, layout.rest.points.size(), layout.times);
}

}  // namespace kestrin::formats
