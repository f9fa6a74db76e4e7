// The per-pose summary the tool prints: how the weights spread and how far the
// corrected points moved.
#ifndef KESTRIN_TOOL_STATISTICS_H
#define KESTRIN_TOOL_STATISTICS_H

#include <cstdio>
#include <string>
#include <vector>

#include "kestrin_types.h"

namespace kestrin::tool {

// A point counts as stretched or squashed when its weight is beyond this
// either way: rounding leaves weights of 1e-7 or so on points that did not
// move, and the table's counts are meant to show the points a user sees.
constexpr float countedWeight = 0.001f;

struct WeightSummary {
    size_t stretched = 0;  // weight > countedWeight
    size_t squashed = 0;   // weight < -countedWeight
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

// A fixed-width table: header once (it states the counting threshold), then
// one row per pose: its frame number in the shot, what it is (its file),
// the summaries.
void printWeightHeader(std::FILE* out, bool withDisplacement);
void printWeightRow(std::FILE* out, int frame, const std::string& label, const WeightSummary& weights,
                    const DisplacementSummary* displacement);
// Flushes a table printed once the outputs are in place. Throws ToolError
// when it could not be written (a full disk, a closed pipe): the run has
// failed, and the error says that the outputs were written.
void finishTable(std::FILE* out);

}  // namespace kestrin::tool

#endif
