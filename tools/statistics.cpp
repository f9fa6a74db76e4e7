#include "statistics.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "tool_error.h"

namespace kestrin::tool {

WeightSummary summariseWeights(const std::vector<float>& weights) {
    WeightSummary summary;
    if (weights.empty()) return summary;
    summary.minimum = summary.maximum = weights[0];
    double sum = 0.0;
    for (float weight : weights) {
        if (weight > countedWeight) ++summary.stretched;
        if (weight < -countedWeight) ++summary.squashed;
        summary.minimum = std::min<double>(summary.minimum, weight);
        summary.maximum = std::max<double>(summary.maximum, weight);
        sum += weight;
    }
    summary.mean = sum / static_cast<double>(weights.size());
    return summary;
}

DisplacementSummary summariseDisplacement(const std::vector<Point3>& posed,
                                          const std::vector<Point3>& corrected) {
    DisplacementSummary summary;
    if (posed.empty()) return summary;
    double sum = 0.0;
    for (size_t i = 0; i < posed.size() && i < corrected.size(); ++i) {
        const double distance = std::sqrt(std::pow(corrected[i].x - posed[i].x, 2) +
                                          std::pow(corrected[i].y - posed[i].y, 2) +
                                          std::pow(corrected[i].z - posed[i].z, 2));
        sum += distance;
        summary.largest = std::max(summary.largest, distance);
    }
    summary.mean = sum / static_cast<double>(posed.size());
    return summary;
}

void printWeightHeader(std::FILE* out, bool withDisplacement) {
    char stretched[32], squashed[32];
    std::snprintf(stretched, sizeof stretched, "stretched >%g", countedWeight);
    std::snprintf(squashed, sizeof squashed, "squashed <-%g", countedWeight);
    std::fprintf(out, "%6s %-14s %16s %16s %9s %9s %9s", "frame", "pose", stretched, squashed, "min", "max", "mean");
    if (withDisplacement) std::fprintf(out, " %10s %10s", "mean move", "max move");
    std::fprintf(out, "\n");
}

void printWeightRow(std::FILE* out, int frame, const std::string& label, const WeightSummary& weights,
                    const DisplacementSummary* displacement) {
    std::fprintf(out, "%6d %-14s %16zu %16zu %9.4f %9.4f %9.4f", frame, label.c_str(), weights.stretched,
                 weights.squashed, weights.minimum, weights.maximum, weights.mean);
    if (displacement != nullptr) {
        std::fprintf(out, " %10.4f %10.4f", displacement->mean, displacement->largest);
    }
    std::fprintf(out, "\n");
}

void finishTable(std::FILE* out) {
    if (std::fflush(out) == 0 && !std::ferror(out)) return;
    throw ToolError(std::string("standard output: cannot write the table: ") + std::strerror(errno) +
                    "; every output was written");
}

}  // namespace kestrin::tool
