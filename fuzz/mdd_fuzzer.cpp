// Point caches for the kestrin tool: any bytes, read by its MDD reader.
//
// Checked for every input: the reader refuses the file with its own error
// (file_checks.h), or its header fits the file and each frame either reads
// whole, every coordinate finite and within 1e18, or is refused; the frames
// read write back through the MDD writer and read back the same, times
// included.
#include <stddef.h>
#include <stdint.h>

#include <cmath>
#include <string>
#include <vector>

#include "file_checks.h"
#include "cache/mdd.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kestrin;
    using namespace kestrin::fuzz;
    const CacheFiles& files = cacheInput("mdd", data, size);
    std::vector<std::vector<Point3>> frames;
    std::vector<float> times;
    size_t points = 0;
    try {
        const formats::MddReader reader(files.input, formats::anyPointCount);
        points = reader.pointCount();
        require(8 + reader.frameCount() * (4 + 12 * points) == size, "the counts fill the file exactly");
        frames = readFrames(reader, reader.frameCount());
        for (size_t f = 0; f < reader.frameCount(); ++f) {
            require(std::isfinite(reader.frameTime(f)), "every time read is finite");
            times.push_back(reader.frameTime(f));
        }
    } catch (const formats::FormatError& error) {
        requireRefusal(error, files.input);
        return 0;
    }
    formats::MddWriter writer(files.copy, points, times);
    for (const std::vector<Point3>& frame : frames) writer.appendFrame(frame.data());
    writer.finish();
    const formats::MddReader again(files.copy, points);
    requireFramesReadBack(again, frames);
    for (size_t f = 0; f < frames.size(); ++f) require(again.frameTime(f) == times[f], "every time reads back");
    return 0;
}
