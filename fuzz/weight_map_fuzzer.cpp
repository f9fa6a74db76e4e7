// Weight maps for `kestrin morph --weight-map`: a point count (the first
// byte, 0 to 15) and any bytes as the CSV file, read by the weight-map
// reader.
//
// Checked for every input: the reader refuses the file with its own error
// (file_checks.h), or gives one weight per point, every one finite and
// within a float; as an influence map, every one within 0 to 1. The
// weights read, written by the tool's CSV writer, read back the same.
#include <stddef.h>
#include <stdint.h>

#include <cfloat>
#include <cmath>
#include <string>
#include <vector>

#include "weights/csv_reader.h"
#include "weights/csv_writer.h"
#include "file_checks.h"
#include "fuzz_bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kestrin;
    using namespace kestrin::fuzz;
    static const std::string path = scratchPath("weights.csv");
    FuzzBytes bytes(data, size);
    const size_t points = bytes.byte() % 16;
    writeFile(path, bytes.rest());
    std::vector<float> weights;
    try {
        weights = formats::readWeightCsv(path, points);
    } catch (const formats::FormatError& error) {
        requireRefusal(error, path);
        return 0;
    }
    require(weights.size() == points, "one weight per point");
    for (float weight : weights) require(std::fabs(weight) <= FLT_MAX, "every weight is finite");
    try {
        for (float weight : formats::readInfluenceMap(path, points)) {
            require(weight >= 0.0f && weight <= 1.0f, "an influence map's weights are within 0 to 1");
        }
    } catch (const formats::FormatError& error) {
        requireRefusal(error, path);
    }
    writeFile(path, formats::weightsCsv(weights));
    const std::vector<float> again = formats::readWeightCsv(path, points);
    for (size_t i = 0; i < points; ++i) require(again[i] == weights[i], "every weight reads back");
    return 0;
}
