// The per-pose summary the tool prints: how the weights spread and how far the
// corrected points moved.
#ifndef KESTRIN_TOOL_STATISTICS_H
#define KESTRIN_TOOL_STATISTICS_H

#include <cstdio>
#include <string>
#include <vector>

#include "kestrin_types.h"

namespace kestrin::tool {

struct WeightSummary {
    size_t stretched = 0;  // weight > 0
    size_t squashed = 0;   // weight < 0
    double minimum = 0.0;
    double maximum = 0.0;
    double mean = 0.0;
};

struct DisplacementSummary {
    double mean = 0.0;
    double largest = 0.0;
};

WeightSummary summariseWeights(const std::vector<float>& weights);
// Distances between corrected and posed positions (equal-sized lists).
DisplacementSummary summariseDisplacement(const std::vector<Point3>& posed,
                                          const std::vector<Point3>& corrected);

// A fixed-width table: header once, then one row per pose.
void printWeightHeader(std::FILE* out, bool withDisplacement);
void printWeightRow(std::FILE* out, const std::string& label, const WeightSummary& weights,
                    const DisplacementSummary* displacement);

}  // namespace kestrin::tool

#endif
