// Point caches for the kestrin tool: any bytes, read by its PC2 reader.
//
// Checked for every input: the reader refuses the file with its own error
// (file_checks.h), or its header fits the file, its start and rate are
// finite, and each sample either reads whole, every coordinate finite and
// within 1e18, or is refused; the samples read write back through the PC2
// writer and read back the same, start and rate included.
#include <stddef.h>
#include <stdint.h>

#include <cmath>
#include <string>
#include <vector>

#include "file_checks.h"
#include "cache/pc2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kestrin;
    using namespace kestrin::fuzz;
    const CacheFiles& files = cacheInput("pc2", data, size);
    float start = 0.0f, rate = 0.0f;
    std::vector<std::vector<Point3>> samples;
    size_t points = 0;
    try {
        const formats::Pc2Reader reader(files.input, formats::anyPointCount);
        points = reader.pointCount();
        start = reader.startFrame();
        rate = reader.sampleRate();
        require(std::isfinite(start) && std::isfinite(rate), "start and rate are finite");
        // A cache of no points may claim any number of samples of no bytes.
        const size_t count = points > 0 ? reader.frameCount() : 0;
        require(points == 0 ? size == 32 : 32 + count * 12 * points == size, "the counts fill the file exactly");
        samples = readFrames(reader, count);
    } catch (const formats::FormatError& error) {
        requireRefusal(error, files.input);
        return 0;
    }
    formats::Pc2Writer writer(files.copy, points, samples.size(), start, rate);
    for (const std::vector<Point3>& sample : samples) writer.appendFrame(sample.data());
    writer.finish();
    const formats::Pc2Reader again(files.copy, points);
    requireFramesReadBack(again, samples);
    require(again.startFrame() == start && again.sampleRate() == rate, "start and rate read back");
    return 0;
}
