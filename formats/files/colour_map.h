// The diverging colour map every output that colours weights shares (PLY,
// glTF, the PNG heat map and its legend, the shot page, which the page
// writer hands these ends): blue for squash, white at rest, red for stretch.
#ifndef KESTRIN_FORMATS_COLOUR_MAP_H
#define KESTRIN_FORMATS_COLOUR_MAP_H

#include <stdint.h>

#include <vector>

namespace kestrin::formats {

struct Rgb {
    uint8_t red, green, blue;
};

// The map's ends, and the colour of a weight that is not a number.
constexpr Rgb squashColour{33, 102, 172};
constexpr Rgb stretchColour{178, 24, 43};
constexpr Rgb notANumberColour{128, 128, 128};

// Colour of `weight` on a scale from -range (full blue) through 0 (white) to
// +range (full red); beyond the range the end colours hold. A weight that is
// not a number is mid grey.
Rgb divergingColour(float weight, float range);

// The scale's half-width for a set of weights: 1, or the largest magnitude
// when a weight goes beyond -1..1 (clamping off), so no colour saturates.
float colourRange(const std::vector<float>& weights);

}  // namespace kestrin::formats

#endif
