#include "files/colour_map.h"

#include <cmath>

namespace kestrin::formats {
namespace {

uint8_t mix(float from, float to, float amount) {
    return static_cast<uint8_t>(std::lround(from + (to - from) * amount));
}

}  // namespace

Rgb divergingColour(float weight, float range) {
    if (std::isnan(weight)) return notANumberColour;
    float amount = range > 0.0f ? weight / range : 0.0f;
    amount = std::fmax(-1.0f, std::fmin(1.0f, amount));
    const Rgb& end = amount < 0.0f ? squashColour : stretchColour;
    const float reach = std::fabs(amount);
    return {mix(255, end.red, reach), mix(255, end.green, reach), mix(255, end.blue, reach)};
}

float colourRange(const std::vector<float>& weights) {
    float range = 1.0f;
    for (float weight : weights) {
        if (std::isfinite(weight)) range = std::fmax(range, std::fabs(weight));
    }
    return range;
}

}  // namespace kestrin::formats
