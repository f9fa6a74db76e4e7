#include "mesh_input.h"

#include "mesh/obj_reader.h"

namespace kestrin::python {

MeshInput readMesh(const std::string& path) {
    formats::MeshData mesh = formats::readObj(path);
    return {std::move(mesh.points), std::move(mesh.polygons)};
}

}  // namespace kestrin::python
