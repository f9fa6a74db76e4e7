#include "mesh/ply_writer.h"

#include <cstring>

#include "files/colour_map.h"
#include "files/finite_values.h"
#include "files/number_text.h"

namespace kestrin::formats {
namespace {

template <typename T>
void appendLittleEndian(std::string& out, T value) {
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
void appendFaces(std::string& out, const Polygons& polygons, bool binary) {
    for (size_t face = 0; face < polygons.size(); ++face) {
        const int32_t* corners = polygons.begin(face);
        const size_t count = polygons.count(face);
        if (binary) {
            appendLittleEndian(out, static_cast<uint8_t>(count));
            for (size_t i = 0; i < count; ++i) appendLittleEndian(out, corners[i]);
            continue;
        }
        appendShortest(out, count);
        for (size_t i = 0; i < count; ++i) {
            out += ' ';
            appendShortest(out, corners[i]);
        }
        out += '\n';
    }
}

std::string ply(const MeshData& mesh, const std::vector<float>* weights, bool binary) {
    requireFinitePoints(mesh.points.data(), mesh.points.size(), true);
    if (weights != nullptr) requireFiniteWeights(*weights);
    std::string out = plyHeader(mesh, binary, weights != nullptr);
    out.reserve(out.size() + mesh.points.size() * (weights != nullptr ? 56 : 40) +
                mesh.polygons.vertices.size() * 8);
    const float range = weights != nullptr ? colourRange(*weights) : 1.0f;
    for (size_t i = 0; i < mesh.points.size(); ++i) {
        const Point3& p = mesh.points[i];
        const float coordinates[3] = {static_cast<float>(p.x), static_cast<float>(p.y),
                                      static_cast<float>(p.z)};
        for (int axis = 0; axis < 3; ++axis) {
            if (binary) {
                appendLittleEndian(out, coordinates[axis]);
                continue;
            }
            if (axis > 0) out += ' ';
            appendShortest(out, coordinates[axis]);
        }
        if (weights != nullptr) {
            const float weight = (*weights)[i];
            const Rgb colour = divergingColour(weight, range);
            const uint8_t channels[3] = {colour.red, colour.green, colour.blue};
            if (binary) {
                appendLittleEndian(out, weight);
                for (uint8_t channel : channels) appendLittleEndian(out, channel);
            } else {
                out += ' ';
                appendNineDigits(out, weight);
                for (uint8_t channel : channels) {
                    out += ' ';
                    appendShortest(out, static_cast<int>(channel));
                }
            }
        }
        if (!binary) out += '\n';
    }
    appendFaces(out, mesh.polygons, binary);
    return out;
}

}  // namespace

std::string weightsPly(const MeshData& mesh, const std::vector<float>& weights, bool binary) {
    return ply(mesh, &weights, binary);
}

std::string meshPly(const MeshData& mesh, bool binary) { return ply(mesh, nullptr, binary); }

}  // namespace kestrin::formats
