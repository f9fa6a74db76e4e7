// The texture coordinates of an OBJ file, read against polygons given apart
// from it: a mesh made from the first bytes (1 to 16 points on a small grid,
// up to 8 polygons of 3 to 10 corners, concave, collinear, repeated and
// crossing ones among them) and any bytes as the file's text, as when a
// file changes between the reading of its polygons and that of its UVs.
//
// Checked for every input: the reader refuses the text with its own error
// (file_checks.h), or gives no UVs, or a UV per polygon corner, each naming
// one of its finite UVs. The polygons split into n - 2 triangles each, of
// their own corners, and the engine mesh of both builds.
#include <stddef.h>
#include <stdint.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "file_checks.h"
#include "fuzz_bytes.h"
#include "engine/glb_mesh.h"
#include "mesh/obj_uvs.h"
#include "engine/texture_layout.h"
#include "mesh/triangulation.h"

namespace kestrin::fuzz {
namespace {

formats::MeshData meshOf(FuzzBytes& bytes) {
    formats::MeshData mesh;
    const size_t points = 1 + bytes.below(16);
    for (size_t i = 0; i < points; ++i) {
        // Small steps on a grid, often in one plane: polygons that touch,
        // fold over and line up, as scanned and hand-made meshes do.
        const auto step = [&] { return double(int8_t(bytes.byte()) % 5) / 2.0; };
        const double x = step(), y = step(), z = bytes.flag() ? 0.0 : step();
        mesh.points.push_back({x, y, z});
    }
    const size_t polygons = bytes.below(9);
    for (size_t f = 0; f < polygons; ++f) {
        std::vector<int32_t> corners(3 + bytes.below(8));
        for (int32_t& corner : corners) corner = int32_t(bytes.below(uint32_t(points)));
        mesh.polygons.add(corners.data(), corners.size());
    }
    return mesh;
}

void requireTriangles(const formats::MeshData& mesh) {
    const std::vector<uint32_t> triangles = formats::triangulate(mesh.points.data(), mesh.polygons);
    size_t at = 0;
    for (size_t f = 0; f < mesh.polygons.size(); ++f) {
        const uint32_t first = uint32_t(mesh.polygons.offsets[f]);
        const uint32_t end = uint32_t(mesh.polygons.offsets[f + 1]);
        std::set<uint32_t> used;
        for (size_t t = 0; t + 2 < mesh.polygons.count(f); ++t, at += 3) {
            require(at + 3 <= triangles.size(), "n - 2 triangles a polygon");
            for (int k = 0; k < 3; ++k) {
                require(triangles[at + k] >= first && triangles[at + k] < end, "a triangle of the polygon's corners");
                used.insert(triangles[at + k]);
            }
            require(triangles[at] != triangles[at + 1] && triangles[at + 1] != triangles[at + 2] &&
                        triangles[at] != triangles[at + 2],
                    "three corners a triangle");
        }
        require(used.size() == mesh.polygons.count(f), "every corner in a triangle");
    }
    require(at == triangles.size(), "n - 2 triangles a polygon");
}

}  // namespace
}  // namespace kestrin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kestrin;
    using namespace kestrin::fuzz;
    static const std::string path = scratchPath("rest.obj");
    FuzzBytes bytes(data, size);
    const formats::MeshData mesh = meshOf(bytes);
    requireTriangles(mesh);
    formats::ObjUvs uvs;
    try {
        uvs = formats::readObjUvs(bytes.rest(), mesh.polygons, path);
    } catch (const formats::FormatError& error) {
        requireRefusal(error, path);
        return 0;
    }
    if (!uvs.empty()) {
        require(uvs.corners.size() == mesh.polygons.vertices.size(), "a UV per corner");
        for (int32_t corner : uvs.corners) {
            require(corner >= 0 && size_t(corner) < uvs.uv.size() / 2, "each corner names a UV");
        }
        for (float value : uvs.uv) require(std::isfinite(value), "every UV is finite");
    }
    const std::string glb =
        formats::glbMesh(mesh, uvs, formats::textureLayout(mesh.points.size(), 1, path), nullptr);
    require(glb.compare(0, 4, "glTF") == 0, "the engine mesh builds");
    return 0;
}
