#include "picture/png_writer.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace kestrin::formats {

std::string encodePng(const Image& image) {
    std::string bytes;
    auto append = [](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<const char*>(data), size);
    };
    stbi_write_png_to_func(append, &bytes, image.width, image.height, 3, image.pixels.data(),
                           image.width * 3);
    return bytes;
}

}  // namespace kestrin::formats
