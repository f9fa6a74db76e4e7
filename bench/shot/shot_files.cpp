#include "shot_files.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>

namespace kestrin::bench {

std::vector<float> posePositions(int pose, int side) {
    std::vector<float> xyz;
    xyz.reserve(size_t(side) * side * 3);
    for (int row = 0; row < side; ++row) {
        for (int column = 0; column < side; ++column) {
            const double i = double(row * side + column);
            const double stretch = pose < 0 ? 1.0 : 1.0 + 0.2 * std::sin(0.01 * column + pose);
            xyz.push_back(float(column * 0.013 * stretch));
            xyz.push_back(float(row * 0.017));
            xyz.push_back(float(pose < 0 ? 0.0 : 0.25 * std::sin(0.001 * i + pose)));
        }
    }
    return xyz;
}

void writeObj(const std::string& path, const std::vector<float>& xyz, int side) {
    std::string text;
    char number[64];
    for (size_t k = 0; k < xyz.size(); ++k) {
        text += k % 3 == 0 ? "v " : " ";
        text.append(number, std::to_chars(number, number + sizeof number, double(xyz[k])).ptr);
        if (k % 3 == 2) text += '\n';
    }
    for (int row = 0; row + 1 < side; ++row) {
        for (int column = 0; column + 1 < side; ++column) {
            const int a = row * side + column + 1;
            text += "f " + std::to_string(a) + ' ' + std::to_string(a + 1) + ' ' + std::to_string(a + side + 1) +
                    ' ' + std::to_string(a + side) + '\n';
        }
    }
    std::ofstream(path, std::ios::binary) << text;
}

void writeMddWith(const std::string& path, int frames, int points,
                  const std::function<std::vector<float>(int frame)>& positions) {
    std::ofstream out(path, std::ios::binary);
    auto word = [&](uint32_t value) {
        const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
        out.write(bytes, 4);
    };
    auto real = [&](float value) {
        uint32_t bits;
        std::memcpy(&bits, &value, 4);
        word(bits);
    };
    word(uint32_t(frames));
    word(uint32_t(points));
    for (int f = 0; f < frames; ++f) real(f / 24.0f);
    for (int f = 0; f < frames; ++f) {
        for (float v : positions(f)) real(v);
    }
}

void writeMdd(const std::string& path, int frames, int side) {
    writeMddWith(path, frames, side * side, [side](int frame) { return posePositions(frame % poseCount, side); });
}

}  // namespace kestrin::bench
