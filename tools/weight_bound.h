// The largest weight magnitude that Strainmark's settings allow, known
// before any pose is weighed: outputs that cannot hold every value (a half
// float texture) are refused up front instead of failing half way.
#ifndef KESTRIN_TOOL_WEIGHT_BOUND_H
#define KESTRIN_TOOL_WEIGHT_BOUND_H

#include "plugin_instances.h"

namespace kestrin::tool {

// The bound of |weight| for the instance's channels and check boxes as they
// stand. The weight is the sine ramp (at most 1 in size) times 2 x post
// times 2 x the stretch or squash multiplier, raised to 10 x exponent, then
// clamped to -1..1 by Clamp or to 0..1 by Only Positive: with either on the
// bound is 1; a power of 0 gives 1; a negative power has none (a point at
// rest weighs infinity), and the result is infinity.
double weightBound(const drive::Strainmark& tool);

}  // namespace kestrin::tool

#endif
