// The largest weight magnitude that Strainmark's settings allow, known
// before any pose is weighed: outputs that cannot hold every value (a half
// float texture) are refused up front instead of failing half way.
#ifndef KESTRIN_TOOL_WEIGHT_BOUND_H
#define KESTRIN_TOOL_WEIGHT_BOUND_H

#include <string>

namespace kestrin::tool {

// The bound of |weight| for an instance's saved settings (the JSON text of
// a settings file: its five channels and the panel's check boxes).
// The weight is the sine ramp (at most 1 in size) times 2 x post times 2 x
// the stretch or squash multiplier, raised to 10 x exponent, then clamped to
// -1..1 by Clamp or to 0..1 by Only Positive: with either on the bound is
// 1; a power of 0 gives 1; a negative power has none (a point at rest
// weighs infinity), and the result is infinity.
double weightBound(const std::string& settingsText);

}  // namespace kestrin::tool

#endif
