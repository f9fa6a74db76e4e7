#include "mesh_input.h"

#include "obj_reader.h"

namespace kestrin::python {
namespace {

// The reader's polygons in the packed form, whichever form it hands out.
[[maybe_unused]] Polygons packed(Polygons&& polygons) { return std::move(polygons); }
[[maybe_unused]] Polygons packed(const std::vector<std::vector<int32_t>>& polygons) {
    Polygons out;
    for (const auto& polygon : polygons) out.add(polygon.data(), polygon.size());
    return out;
}

}  // namespace

MeshInput readMesh(const std::string& path) {
    tool::MeshData mesh = tool::readObj(path);
    return {std::move(mesh.points), packed(std::move(mesh.polygons))};
}

}  // namespace kestrin::python
