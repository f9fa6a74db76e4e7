#include "files/colour_map.h"

#include <cmath>

namespace kestrin::formats {
namespace {

constexpr float squashEnd[3] = {33, 102, 172};
constexpr float stretchEnd[3] = {178, 24, 43};

uint8_t mix(float from, float to, float amount) {
    return static_cast<uint8_t>(std::lround(from + (to - from) * amount));
}

}  // namespace

Rgb divergingColour(float weight, float range) {
    if (std::isnan(weight)) return {128, 128, 128};
    float amount = range > 0.0f ? weight / range : 0.0f;
    amount = std::fmax(-1.0f, std::fmin(1.0f, amount));
    const float* end = amount < 0.0f ? squashEnd : stretchEnd;
    const float reach = std::fabs(amount);
    return {mix(255, end[0], reach), mix(255, end[1], reach), mix(255, end[2], reach)};
}

float colourRange(const std::vector<float>& weights) {
    float range = 1.0f;
    for (float weight : weights) {
        if (std::isfinite(weight)) range = std::fmax(range, std::fabs(weight));
    }
    return range;
}

}  // namespace kestrin::formats
