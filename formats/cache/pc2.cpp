#include "cache/pc2.h"

#include <unistd.h>

#include <cmath>
#include <cstring>

#include "files/atomic_file.h"
#include "files/format_error.h"
#include "files/number_text.h"

namespace kestrin::formats {
namespace {

constexpr ByteOrder order = ByteOrder::little;
constexpr char signature[12] = {'P', 'O', 'I', 'N', 'T', 'C', 'A', 'C', 'H', 'E', '2', '\0'};
constexpr uint64_t headerBytes = 32;
constexpr uint64_t pointBytes = 12;
constexpr int32_t version = 1;
constexpr CacheNames names = {"a PC2 cache", "samples", false};
// How far from even a pose's frame may be, as MDD times in float seconds
// put a long shot's frames a thousandth of a frame off.
constexpr double evenFramesTolerance = 0.01;

}  // namespace

Pc2Reader::Pc2Reader(const std::string& path, size_t expectedPoints, int file) : file_(path, file) {
    unsigned char header[headerBytes];
    file_.read(0, header, sizeof header, "the header");
    if (std::memcmp(header, signature, sizeof signature) != 0) {
        throw FormatError(path + ": not a PC2 cache (no POINTCACHE2 signature)");
    }
    const int32_t fileVersion = static_cast<int32_t>(loadWord(header + 12, order));
    if (fileVersion != version) {
        throw FormatError(path + ": PC2 version " + std::to_string(fileVersion) + " (only 1 is read)");
    }
    const CacheCounts counts = {static_cast<int32_t>(loadWord(header + 28, order)),
                                static_cast<int32_t>(loadWord(header + 16, order)), headerBytes, 0};
    start_ = loadFloat(header + 20, order);
    rate_ = loadFloat(header + 24, order);
    requireCounts(file_, counts, names, expectedPoints);
    if (!std::isfinite(start_) || !std::isfinite(rate_)) {
        throw FormatError(path + ": the start frame or sample rate is not a finite number");
    }
    points_ = static_cast<size_t>(counts.points);
    samples_ = static_cast<size_t>(counts.records);
}

bool holdsPc2(int file) {
    char start[sizeof signature];
    return ::pread(file, start, sizeof start, 0) == static_cast<ssize_t>(sizeof start) &&
           std::memcmp(start, signature, sizeof signature) == 0;
}

void Pc2Reader::readFrame(size_t frame, Point3* out) const {
    if (frame >= frameCount()) {
        throw FormatError(file_.path() + ": no sample " + std::to_string(frame) + " (the cache has " +
                        std::to_string(frameCount()) + ")");
    }
    file_.readPoints(headerBytes + frame * pointBytes * points_, points_, order, frame, out);
}

void Pc2Reader::readFrame(size_t frame, std::vector<Point3>& out) const {
    out.resize(points_);
    readFrame(frame, out.data());
}

Pc2Writer::Pc2Writer(const std::string& path, size_t pointCount, size_t frameCount,
                     float startFrame, float sampleRate)
    : FrameCacheWriter(path, pointCount, frameCount, order, "samples") {
    if (pointCount > INT32_MAX || frameCount > INT32_MAX) {
        throw FormatError(path + ": too many points or samples for a PC2 cache");
    }
    if (!std::isfinite(startFrame) || !std::isfinite(sampleRate)) {
        throw FormatError(path + ": the start frame or sample rate is not a finite number");
    }
    unsigned char header[headerBytes];
    std::memcpy(header, signature, sizeof signature);
    storeWord(header + 12, version, order);
    storeWord(header + 16, static_cast<uint32_t>(pointCount), order);
    storeFloat(header + 20, startFrame, order);
    storeFloat(header + 24, sampleRate, order);
    storeWord(header + 28, static_cast<uint32_t>(frameCount), order);
    file_.append(header, sizeof header);
}

std::unique_ptr<ShotWriter> pc2Shot(const std::string& path, const ShotLayout& layout) {
    const std::vector<double>& frames = layout.frames;
    const double start = frames.empty() ? 0.0 : frames[0];
    const double rate = frames.size() > 1 ? frames[1] - frames[0] : 1.0;
    // A PC2 cache has a start and a step, no time per sample: poses at
    // other frames would play at the wrong ones.
    for (size_t i = 2; i < frames.size(); ++i) {
        if (std::fabs(frames[i] - (start + static_cast<double>(i) * rate)) > evenFramesTolerance) {
            throw FormatError(path + ": a PC2 cache holds evenly spaced frames, and these poses are not (frames " +
                              shortestText(frames[0]) + ", " + shortestText(frames[1]) + ", then " +
                              shortestText(frames[i]) + "); write a .mdd cache, which keeps each frame's time");
        }
    }
    return std::make_unique<CorrectedCacheShot<Pc2Writer>>(path, layout.rest.points.size(), layout.poseCount,
                                                           static_cast<float>(start), static_cast<float>(rate));
}

}  // namespace kestrin::formats
