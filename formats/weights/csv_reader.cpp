#include "weights/csv_reader.h"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "files/file_bytes.h"
#include "files/format_error.h"

namespace kestrin::formats {
namespace {

[[noreturn]] void failAt(const std::string& path, size_t line, const std::string& what) {
    throw FormatError(path + ":" + std::to_string(line) + ": " + what);
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") + 1 - first);
}

}  // namespace

std::vector<float> readWeightCsv(const std::string& path, size_t pointCount) {
    std::ifstream file(path);
    if (!file) throw FormatError(path + ": cannot open: " + std::strerror(errno));
    skipByteOrderMark(file);
    std::vector<float> weights(pointCount, 0.0f);
    std::vector<bool> seen(pointCount, false);
    size_t seenCount = 0;
    std::string line;
    size_t lineNumber = 0;
    bool header = true;
    while (std::getline(file, line)) {
        ++lineNumber;
        line = trimmed(line);
        if (line.empty()) continue;
        if (header) {
            header = false;
            if (line != "point,weight") failAt(path, lineNumber, "expected the header \"point,weight\"");
            continue;
        }
        const size_t comma = line.find(',');
        if (comma == std::string::npos || line.find(',', comma + 1) != std::string::npos) {
            failAt(path, lineNumber, "expected \"point,weight\"");
        }
        const std::string pointText = trimmed(line.substr(0, comma));
        const std::string weightText = trimmed(line.substr(comma + 1));
        char* end = nullptr;
        errno = 0;
        const long long point = std::strtoll(pointText.c_str(), &end, 10);
        if (pointText.empty() || *end != '\0' || errno != 0 || point < 0) {
            failAt(path, lineNumber, "'" + pointText + "' is not a point index");
        }
        if (static_cast<unsigned long long>(point) >= pointCount) {
            failAt(path, lineNumber, "point " + pointText + " is out of range (the mesh has " +
                                         std::to_string(pointCount) + " points)");
        }
        const double weight = std::strtod(weightText.c_str(), &end);
        if (weightText.empty() || *end != '\0') {
            failAt(path, lineNumber, "'" + weightText + "' is not a number");
        }
        if (!std::isfinite(weight)) failAt(path, lineNumber, "weight is not a finite number");
        // Weights are floats: a larger magnitude would reach the plug-in as
        // an infinity.
        if (std::fabs(weight) > FLT_MAX) failAt(path, lineNumber, "weight is too large for a float");
        if (seen[point]) failAt(path, lineNumber, "point " + pointText + " appears twice");
        seen[point] = true;
        ++seenCount;
        weights[point] = static_cast<float>(weight);
    }
    if (file.bad()) throw FormatError(path + ": read error");
    if (header) throw FormatError(path + ": empty; expected the header \"point,weight\"");
    if (seenCount != pointCount) {
        throw FormatError(path + ": has weights for " + std::to_string(seenCount) +
                        " points but the mesh has " + std::to_string(pointCount));
    }
    return weights;
}

std::vector<float> readInfluenceMap(const std::string& path, size_t pointCount) {
    std::vector<float> weights = readWeightCsv(path, pointCount);
    for (size_t point = 0; point < weights.size(); ++point) {
        if (!(weights[point] >= 0.0f && weights[point] <= 1.0f)) {
            throw FormatError(path + ": point " + std::to_string(point) + ": weight " +
                              std::to_string(weights[point]) + " is outside 0 to 1 (an influence map says how "
                              "much of its movement each point takes)");
        }
    }
    return weights;
}

}  // namespace kestrin::formats
