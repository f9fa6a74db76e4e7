#include "weights/csv_reader.h"

#include <cfloat>
#include <charconv>
#include <cmath>

#include "files/file_bytes.h"
#include "files/format_error.h"
#include "files/message_text.h"
#include "files/number_text.h"

namespace kestrin::formats {
namespace {

[[noreturn]] void failAt(const std::string& path, size_t line, const std::string& what) {
    throw FormatError(path + ":" + std::to_string(line) + ": " + what);
}

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") + 1 - first);
}

}  // namespace

std::vector<float> readWeightCsv(const std::string& path, size_t pointCount) {
    FileBytes bytes;
    bytes.read(path, "a weight map (CSV)");
    std::string_view text = bytes.text();
    std::vector<float> weights(pointCount, 0.0f);
    std::vector<bool> seen(pointCount, false);
    size_t seenCount = 0;
    size_t lineNumber = 0;
    bool header = true;
    while (!text.empty()) {
        const size_t newline = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, newline));
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        ++lineNumber;
        if (line.empty()) continue;
        if (header) {
            header = false;
            if (line != "point,weight") failAt(path, lineNumber, "expected the header \"point,weight\"");
            continue;
        }
        const size_t comma = line.find(',');
        if (comma == std::string_view::npos || line.find(',', comma + 1) != std::string_view::npos) {
            failAt(path, lineNumber, "expected \"point,weight\"");
        }
        const std::string_view pointText = trimmed(line.substr(0, comma));
        const std::string_view weightText = trimmed(line.substr(comma + 1));
        unsigned long long point = 0;
        const std::from_chars_result read = std::from_chars(pointText.data(), pointText.data() + pointText.size(), point);
        if (pointText.empty() || read.ec != std::errc() || read.ptr != pointText.data() + pointText.size()) {
            failAt(path, lineNumber, quotedBytes(pointText) + " is not a point index");
        }
        if (point >= pointCount) {
            failAt(path, lineNumber, "point " + std::to_string(point) + " is out of range (the mesh has " +
                                         std::to_string(pointCount) + " points)");
        }
        double weight = 0.0;
        if (!readDecimal(weightText, &weight)) failAt(path, lineNumber, quotedBytes(weightText) + " is not a number");
        if (!std::isfinite(weight)) {
            failAt(path, lineNumber, "weight " + quotedBytes(weightText) + " is not a finite number");
        }
        // Weights are floats: a larger magnitude would reach the plug-in as
        // an infinity.
        if (std::fabs(weight) > FLT_MAX) {
            failAt(path, lineNumber, "weight " + quotedBytes(weightText) + " is too large for a float");
        }
        if (seen[point]) failAt(path, lineNumber, "point " + std::to_string(point) + " appears twice");
        seen[point] = true;
        ++seenCount;
        weights[point] = static_cast<float>(weight);
    }
    if (header) throw FormatError(path + ": empty; expected the header \"point,weight\"");
    if (seenCount != pointCount) {
        throw FormatError(path + ": has weights for " + std::to_string(seenCount) + " points but the mesh has " +
                          std::to_string(pointCount));
    }
    return weights;
}

std::vector<float> readInfluenceMap(const std::string& path, size_t pointCount) {
    std::vector<float> weights = readWeightCsv(path, pointCount);
    for (size_t point = 0; point < weights.size(); ++point) {
        if (!(weights[point] >= 0.0f && weights[point] <= 1.0f)) {
            throw FormatError(path + ": point " + std::to_string(point) + ": weight " + shortestText(weights[point]) +
                              " is outside 0 to 1 (an influence map says how much of its movement each point "
                              "takes)");
        }
    }
    return weights;
}

}  // namespace kestrin::formats
