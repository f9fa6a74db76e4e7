// A picture in memory, as the rasteriser draws it and the PNG encoder takes it.
#ifndef KESTRIN_FORMATS_IMAGE_H
#define KESTRIN_FORMATS_IMAGE_H

#include <stdint.h>

#include <vector>

namespace kestrin::formats {

// Rows top to bottom, 3 bytes (R, G, B) per pixel.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // width * height * 3 bytes
};

}  // namespace kestrin::formats

#endif
