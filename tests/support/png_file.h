// PNG files the tests read back: the tool's pictures, browser and engine
// screenshots.
#ifndef KESTRIN_TESTS_PNG_FILE_H
#define KESTRIN_TESTS_PNG_FILE_H

#include <string>
#include <vector>

namespace kestrin::test {

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;  // rows top to bottom, 3 bytes a pixel
};

// The file's pixels; 0 x 0 when it cannot be read as a PNG.
RgbImage readPng(const std::string& path);

}  // namespace kestrin::test

#endif
