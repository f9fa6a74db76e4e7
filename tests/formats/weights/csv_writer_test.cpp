// Weights as CSV: a header, then one row per point, the weight in 9
// significant digits, enough to read back the same float.
#include <gtest/gtest.h>

#include "weights/csv_writer.h"

namespace kestrin::formats {
namespace {

TEST(WeightsCsv, HeaderThenOneRowPerPointWithNineSignificantDigits) {
    EXPECT_EQ(weightsCsv({1.0f / 3.0f, -1.0f, 0.0f, 0.63188f, 1e-7f, 3e38f}),
              "point,weight\n0,0.333333343\n1,-1\n2,0\n3,0.631879985\n4,1.00000001e-07\n"
              "5,3.00000001e+38\n");
}

}  // namespace
}  // namespace kestrin::formats
