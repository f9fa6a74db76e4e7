#include "mesh/mesh_data.h"

#include <algorithm>

#include "files/format_error.h"

namespace kestrin::formats {

void requireSameShape(const MeshData& rest, const MeshData& other, const std::string& role,
                      bool sameFaces) {
    if (other.points.size() != rest.points.size()) {
        throw FormatError(other.path + ": the " + role + " has " +
                        std::to_string(other.points.size()) + " points but the rest mesh " +
                        rest.path + " has " + std::to_string(rest.points.size()) +
                        "; point i of each file must be the same point");
    }
    if (!sameFaces) return;
    if (other.polygons.size() != rest.polygons.size()) {
        throw FormatError(other.path + ": the " + role + " has " +
                        std::to_string(other.polygons.size()) + " faces but the rest mesh " +
                        rest.path + " has " + std::to_string(rest.polygons.size()));
    }
    for (size_t face = 0; face < rest.polygons.size(); ++face) {
        const size_t corners = rest.polygons.count(face);
        if (other.polygons.count(face) != corners ||
            !std::equal(rest.polygons.begin(face), rest.polygons.begin(face) + corners,
                        other.polygons.begin(face))) {
            throw FormatError(other.path + ": face " + std::to_string(face + 1) + " of the " + role +
                            " differs from face " + std::to_string(face + 1) +
                            " of the rest mesh " + rest.path);
        }
    }
}

MeshData withPositions(const MeshData& mesh, std::vector<Point3> positions) {
    MeshData result;
    result.path = mesh.path;
    result.points = std::move(positions);
    result.polygons = mesh.polygons;
    return result;
}

}  // namespace kestrin::formats
