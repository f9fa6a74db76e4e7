// Pictures as PNG files.
#ifndef KESTRIN_FORMATS_PNG_WRITER_H
#define KESTRIN_FORMATS_PNG_WRITER_H

#include <string>

#include "picture/image.h"

namespace kestrin::formats {

// The image as PNG file bytes.
std::string encodePng(const Image& image);

}  // namespace kestrin::formats

#endif
