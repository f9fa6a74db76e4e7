#include "weight_bound.h"

#include <algorithm>
#include <cmath>

#include "setting_lists.h"

namespace kestrin::tool {

double weightBound(const drive::Strainmark& tool) {
    const auto ticked = [&](const char* option) { return tool.toggle(drive::toggleSetting(option).label); };
    const auto doubled = [&](const char* option) {
        return std::fabs(2.0 * tool.channel(drive::channelSetting(option).name));
    };
    if (ticked("clamp") || ticked("only-positive")) return 1.0;
    const double power = 10.0 * tool.channel(drive::channelSetting("exponent").name);
    if (power == 0.0) return 1.0;
    if (!(power > 0.0)) return INFINITY;
    const double scale =
        doubled("post-multiplier") * std::max(doubled("stretch-multiplier"), doubled("squash-multiplier"));
    return std::pow(scale, power);
}

}  // namespace kestrin::tool
