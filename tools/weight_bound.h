// The largest weight magnitude that a weight tool's settings allow, known
// before any pose is weighed: outputs that cannot hold every value (a half
// float texture) are refused up front instead of failing half way.
#ifndef KESTRIN_TOOL_WEIGHT_BOUND_H
#define KESTRIN_TOOL_WEIGHT_BOUND_H

#include "plugin_instances.h"

namespace kestrin::tool {

// The bound of |weight| for the instance's channels and check boxes as they
// stand: the weight curve's own bound (measure/tension_bound.h), reached by
// the weights of a saturated stretch or squash; infinity when there is none.
double weightToolBound(const drive::WeightTool& tool);

}  // namespace kestrin::tool

#endif
