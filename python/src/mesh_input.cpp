#include "mesh_input.h"

#include "formats/obj_reader.h"

namespace kestrin::python {

MeshInput readMesh(const std::string& path) {
    tool::MeshData mesh = tool::readObj(path);
    return {std::move(mesh.points), std::move(mesh.polygons)};
}

}  // namespace kestrin::python
