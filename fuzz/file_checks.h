// What the fuzz targets of the file readers share: the input written to a
// file of this process, what a cache reader's frames must be, and the one
// check every refusal must pass.
#ifndef KESTRIN_FUZZ_FILE_CHECKS_H
#define KESTRIN_FUZZ_FILE_CHECKS_H

#include <stddef.h>
#include <stdint.h>

#include <cmath>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "files/format_error.h"
#include "fuzz_host.h"
#include "files/message_text.h"
#include "mesh/obj_reader.h"

namespace kestrin::fuzz {

inline void writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), std::streamsize(bytes.size()));
}

// A cache target's scratch files: the input ("shot.mdd") and what the
// target writes back from it ("copy.mdd").
struct CacheFiles {
    std::string input;
    std::string copy;
};

// The target's input written to its scratch file; a target reads one cache
// format, named by its extension.
inline const CacheFiles& cacheInput(const char* extension, const uint8_t* data, size_t size) {
    static const CacheFiles files = {scratchPath(std::string("shot.") + extension),
                                     scratchPath(std::string("copy.") + extension)};
    writeFile(files.input, {reinterpret_cast<const char*>(data), size});
    return files;
}

// Points as a cache reader gives them: finite and within the readers'
// largest coordinate.
inline void requireReadPoints(const std::vector<Point3>& points, size_t count) {
    require(points.size() == count, "a frame has the header's points");
    for (const Point3& p : points) {
        require(std::fabs(p.x) <= formats::largestCoordinate && std::fabs(p.y) <= formats::largestCoordinate &&
                    std::fabs(p.z) <= formats::largestCoordinate,
                "every coordinate read is finite and within 1e18");
    }
}

// The reader's first `count` frames, each checked by requireReadPoints.
template <typename Reader>
std::vector<std::vector<Point3>> readFrames(const Reader& reader, size_t count) {
    std::vector<std::vector<Point3>> frames(count);
    for (size_t f = 0; f < count; ++f) {
        reader.readFrame(f, frames[f]);
        requireReadPoints(frames[f], reader.pointCount());
    }
    return frames;
}

// A cache written from frames reads back as the same frames, bit for bit.
template <typename Reader>
void requireFramesReadBack(const Reader& reader, const std::vector<std::vector<Point3>>& frames) {
    require(reader.frameCount() == frames.size(), "the frames read back");
    std::vector<Point3> frame;
    for (size_t f = 0; f < frames.size(); ++f) {
        reader.readFrame(f, frame);
        for (size_t i = 0; i < frame.size(); ++i) {
            require(frame[i].x == frames[f][i].x && frame[i].y == frames[f][i].y && frame[i].z == frames[f][i].z,
                    "every coordinate reads back");
        }
    }
}

// A reader's refusal names the file first and is one line of printable
// text, whatever bytes the file held.
inline void requireRefusal(const formats::FormatError& error, const std::string& path) {
    const std::string message = error.what();
    require(message.rfind(path, 0) == 0, "the error names the file");
    require(formats::printableText(message) == message, "the error is one line of printable text");
}

}  // namespace kestrin::fuzz

#endif
