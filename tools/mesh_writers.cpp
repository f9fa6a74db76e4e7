#include "mesh_writers.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "colour_map.h"

namespace kestrin::tool {
namespace {

// Shortest text that reads back as the same double.
void appendNumber(std::string& out, double value) {
    char text[40];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

void appendNumber(std::string& out, float value) {
    char text[40];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

template <typename T>
void appendLittleEndian(std::string& out, T value) {
    static_assert(sizeof(T) <= 8);
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    // Every platform the tool builds for is little-endian; the format says so.
    out.append(reinterpret_cast<const char*>(bytes), sizeof(T));
}

std::string plyHeader(const MeshData& mesh, bool binary, bool withWeights) {
    std::string header = "ply\nformat ";
    header += binary ? "binary_little_endian" : "ascii";
    header += " 1.0\ncomment made by kestrin\nelement vertex " + std::to_string(mesh.points.size()) +
              "\nproperty float x\nproperty float y\nproperty float z\n";
    if (withWeights) {
        header += "property float weight\nproperty uchar red\nproperty uchar green\nproperty uchar blue\n";
    }
    header += "element face " + std::to_string(mesh.polygons.size()) +
              "\nproperty list uchar int vertex_indices\nend_header\n";
    return header;
}

// Faces of more than 255 corners do not fit PLY's uchar count; the OBJ reader
// never makes them.
void appendFaces(std::string& out, const MeshData& mesh, bool binary) {
    for (const std::vector<int32_t>& polygon : mesh.polygons) {
        if (binary) {
            appendLittleEndian(out, static_cast<uint8_t>(polygon.size()));
            for (int32_t point : polygon) appendLittleEndian(out, point);
            continue;
        }
        out += std::to_string(polygon.size());
        for (int32_t point : polygon) out += " " + std::to_string(point);
        out += '\n';
    }
}

std::string ply(const MeshData& mesh, const std::vector<float>* weights, bool binary) {
    std::string out = plyHeader(mesh, binary, weights != nullptr);
    const float range = weights != nullptr ? colourRange(*weights) : 1.0f;
    for (size_t i = 0; i < mesh.points.size(); ++i) {
        const Point3& p = mesh.points[i];
        const float coordinates[3] = {static_cast<float>(p.x), static_cast<float>(p.y),
                                      static_cast<float>(p.z)};
        if (binary) {
            for (float c : coordinates) appendLittleEndian(out, c);
        } else {
            appendNumber(out, coordinates[0]);
            for (int axis = 1; axis < 3; ++axis) {
                out += ' ';
                appendNumber(out, coordinates[axis]);
            }
        }
        if (weights != nullptr) {
            const float weight = (*weights)[i];
            const Rgb colour = divergingColour(weight, range);
            if (binary) {
                appendLittleEndian(out, weight);
                appendLittleEndian(out, colour.red);
                appendLittleEndian(out, colour.green);
                appendLittleEndian(out, colour.blue);
            } else {
                char text[64];
                std::snprintf(text, sizeof text, " %.9g %d %d %d", weight, colour.red, colour.green,
                              colour.blue);
                out += text;
            }
        }
        if (!binary) out += '\n';
    }
    appendFaces(out, mesh, binary);
    return out;
}

}  // namespace

std::string weightsCsv(const std::vector<float>& weights) {
    std::string out = "point,weight\n";
    char row[64];
    for (size_t i = 0; i < weights.size(); ++i) {
        std::snprintf(row, sizeof row, "%zu,%.9g\n", i, static_cast<double>(weights[i]));
        out += row;
    }
    return out;
}

std::string weightsPly(const MeshData& mesh, const std::vector<float>& weights, bool binary) {
    return ply(mesh, &weights, binary);
}

std::string meshPly(const MeshData& mesh, bool binary) { return ply(mesh, nullptr, binary); }

std::string meshObj(const MeshData& mesh) {
    std::string out = "# made by kestrin\n";
    for (const Point3& p : mesh.points) {
        out += "v ";
        appendNumber(out, p.x);
        out += ' ';
        appendNumber(out, p.y);
        out += ' ';
        appendNumber(out, p.z);
        out += '\n';
    }
    for (const std::vector<int32_t>& polygon : mesh.polygons) {
        out += 'f';
        for (int32_t point : polygon) out += " " + std::to_string(point + 1);
        out += '\n';
    }
    return out;
}

}  // namespace kestrin::tool
