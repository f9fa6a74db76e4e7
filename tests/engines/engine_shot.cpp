#include "engine_shot.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#ifdef KESTRIN_WITH_OPENEXR
#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfInputFile.h>
#include <OpenEXR/ImfIntAttribute.h>
#include <OpenEXR/ImfStringAttribute.h>
#include <OpenEXR/ImfVecAttribute.h>
#endif

namespace kestrin::test {

std::string quoted(const std::string& text) { return "'" + text + "'"; }

std::string Tube::obj(double bend, bool withFaces) const {
    std::string text;
    for (int r = 0; r < rings; ++r) {
        const double t = static_cast<double>(r) / (rings - 1);
        const double angle = bend * t, length = 4.0;
        for (int a = 0; a < around; ++a) {
            const double phi = 2 * M_PI * a / around;
            const double x = std::cos(phi), z = std::sin(phi);
            // Bent: the ring's centre on an arc, the ring turned with it.
            const double radius = bend == 0 ? 0 : length / bend;
            const double cx = bend == 0 ? 0 : radius * (1 - std::cos(angle));
            const double cy = bend == 0 ? length * t : radius * std::sin(angle);
            text += "v " + std::to_string(cx + x * std::cos(angle)) + " " +
                    std::to_string(cy - x * std::sin(angle)) + " " + std::to_string(z) + "\n";
        }
    }
    if (!withFaces) return text;
    for (int r = 0; r < rings; ++r) {
        for (int a = 0; a <= around; ++a) {
            text += "vt " + std::to_string(static_cast<double>(a) / around) + " " +
                    std::to_string(static_cast<double>(r) / (rings - 1)) + "\n";
        }
    }
    for (int r = 0; r + 1 < rings; ++r) {
        for (int a = 0; a < around; ++a) {
            const int p[4] = {r * around + a, r * around + (a + 1) % around, (r + 1) * around + (a + 1) % around,
                              (r + 1) * around + a};
            const int t[4] = {r * (around + 1) + a, r * (around + 1) + a + 1, (r + 1) * (around + 1) + a + 1,
                              (r + 1) * (around + 1) + a};
            text += "f";
            for (int c = 0; c < 4; ++c) text += " " + std::to_string(p[c] + 1) + "/" + std::to_string(t[c] + 1);
            text += "\n";
        }
    }
    return text;
}

std::vector<std::string> tubeShot(const ScratchDirectory& scratch, const Tube& tube, int poses) {
    writeText(scratch.file("rest.obj"), tube.obj(0.0, true));
    std::vector<std::string> arguments = {"weights", "--rest", "rest.obj", "--pose"};
    for (int p = 1; p <= poses; ++p) {
        const std::string name = "pose_" + std::to_string(p) + ".obj";
        writeText(scratch.file(name), tube.obj(1.2 * p / poses, false));
        arguments.push_back(name);
    }
    return arguments;
}

std::map<std::tuple<float, float, float>, size_t> pointsByPosition(const std::string& path, size_t count) {
    std::map<std::tuple<float, float, float>, size_t> pointAt;
    const std::string text = readText(path);
    const char* line = text.c_str();
    for (size_t p = 0; p < count; ++p) {
        char* end = nullptr;
        const float x = std::strtof(line + 1, &end), y = std::strtof(end, &end), z = std::strtof(end, &end);
        pointAt[{x, y, z}] = p;
        line = std::strchr(end, '\n') + 1;
    }
    return pointAt;
}

std::vector<float> npyValues(const std::string& path, size_t* poses, size_t* points) {
    const std::string bytes = readText(path);
    const size_t headerLength = static_cast<unsigned char>(bytes[8]) | static_cast<unsigned char>(bytes[9]) << 8;
    const std::string header = bytes.substr(10, headerLength);
    const size_t shape = header.find("'shape': (") + 10;
    *poses = std::stoul(header.substr(shape));
    *points = std::stoul(header.substr(header.find(", ", shape) + 2));
    std::vector<float> values(*poses * *points);
    std::memcpy(values.data(), bytes.data() + 10 + headerLength, values.size() * sizeof(float));
    return values;
}

#ifdef KESTRIN_WITH_OPENEXR

Texture readExr(const std::string& path) {
    Imf::InputFile file(path.c_str());
    const Imf::Header& header = file.header();
    const Imath::Box2i window = header.dataWindow();
    Texture texture;
    texture.width = window.max.x - window.min.x + 1;
    texture.rows = window.max.y - window.min.y + 1;
    texture.rowsPerFrame = header.typedAttribute<Imf::IntAttribute>("kestrin.rowsPerFrame").value();
    texture.frames = header.typedAttribute<Imf::IntAttribute>("kestrin.frames").value();
    const char* ranges[3] = {"kestrin.rangeR", "kestrin.rangeG", "kestrin.rangeB"};
    for (int c = 0; c < 3; ++c) {
        const Imath::V2f range = header.typedAttribute<Imf::V2fAttribute>(ranges[c]).value();
        texture.range[c][0] = range.x, texture.range[c][1] = range.y;
    }
    if (const auto* measures = header.findTypedAttribute<Imf::StringAttribute>("kestrin.measures")) {
        texture.measures = measures->value();
    }
    texture.rgb.resize(static_cast<size_t>(texture.width) * texture.rows * 3);
    Imf::FrameBuffer buffer;
    const char* names[3] = {"R", "G", "B"};
    for (int c = 0; c < 3; ++c) {
        buffer.insert(names[c], Imf::Slice(Imf::HALF, reinterpret_cast<char*>(texture.rgb.data() + c),
                                           3 * sizeof(half), 3 * sizeof(half) * texture.width));
    }
    file.setFrameBuffer(buffer);
    file.readPixels(window.min.y, window.max.y);
    return texture;
}

#endif

}  // namespace kestrin::test
