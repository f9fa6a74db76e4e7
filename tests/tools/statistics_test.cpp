// The per-pose table: stretched and squashed counts leave out the weights
// that rounding leaves on points that barely moved, and say so in the header.
#include <gtest/gtest.h>

#include <cstdio>

#include "statistics.h"

namespace kestrin::tool {
namespace {

TEST(WeightTable, CountsOnlyWeightsBeyondTheStatedThreshold) {
    const WeightSummary summary =
        summariseWeights({0.0f, 1e-7f, -1e-7f, 0.0009f, -0.0009f, 0.001f, 0.0011f, -0.0011f, -0.5f, 1.0f});
    EXPECT_EQ(summary.stretched, 2u);
    EXPECT_EQ(summary.squashed, 2u);

    char header[256] = {};
    std::FILE* out = fmemopen(header, sizeof header - 1, "w");
    printWeightHeader(out, false);
    std::fclose(out);
    EXPECT_NE(std::string(header).find("stretched >0.001"), std::string::npos) << header;
    EXPECT_NE(std::string(header).find("squashed <-0.001"), std::string::npos) << header;
}

}  // namespace
}  // namespace kestrin::tool
