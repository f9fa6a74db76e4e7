// How the plug-ins' results are held against the direct computation's.
//
// Where doubles are evaluated at their own precision (FLT_EVAL_METHOD 0, as
// with SSE arithmetic, which both our builds use) both follow the same steps
// to the same bits, and nothing less is accepted. A compiler that evaluates
// on the x87 unit at extended precision rounds wherever it spills a
// register, so two compilations of the same steps may differ in the last
// bits there; a relative 1e-12 is allowed then.
#ifndef KESTRIN_TEST_SAME_VALUES_H
#define KESTRIN_TEST_SAME_VALUES_H

#include <float.h>
#include <math.h>
#include <string.h>

#include "kestrin_types.h"

namespace kestrin::bench {

inline constexpr bool kExactArithmetic = FLT_EVAL_METHOD == 0;

inline bool sameValue(double got, double expected) {
    if (kExactArithmetic) return memcmp(&got, &expected, sizeof got) == 0;
    return got == expected || fabs(got - expected) <= 1e-12 * fmax(fabs(got), fabs(expected));
}

inline bool sameValue(float got, float expected) {
    if (kExactArithmetic) return memcmp(&got, &expected, sizeof got) == 0;
    return got == expected || fabsf(got - expected) <= 4 * FLT_EPSILON * fmaxf(fabsf(got), fabsf(expected));
}

inline bool samePoint(const Point3& got, const Point3& expected) {
    return sameValue(got.x, expected.x) && sameValue(got.y, expected.y) &&
           sameValue(got.z, expected.z);
}

}  // namespace kestrin::bench

#endif
