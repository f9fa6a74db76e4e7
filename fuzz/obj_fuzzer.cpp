// Mesh files for the kestrin tool: any bytes, read by its OBJ reader.
//
// Checked for every input: the reader either refuses the file with its own
// error (file_checks.h), or gives a mesh the plug-ins can be handed as it
// is: at least one point, every coordinate finite, every polygon with at
// least three corners, each naming a point of the file. Written back out by
// the tool's OBJ writer, such a mesh reads back as the same mesh.
#include <stddef.h>
#include <stdint.h>

#include <cmath>
#include <string>

#include "file_checks.h"
#include "fuzz_host.h"
#include "mesh/obj_reader.h"
#include "mesh/obj_writer.h"
#include "files/format_error.h"

namespace kestrin::fuzz {
namespace {

const std::string& inputPath() {
    static const std::string path = scratchPath("mesh.obj");
    return path;
}

// The mesh, or nothing when the reader refused the file for a stated reason.
bool read(const std::string& path, formats::MeshData* mesh) {
    try {
        *mesh = formats::readObj(path);
        return true;
    } catch (const formats::FormatError& error) {
        requireRefusal(error, path);
        return false;
    }
}

void requireSound(const formats::MeshData& mesh) {
    require(!mesh.points.empty(), "a mesh read has points");
    for (const Point3& p : mesh.points) {
        require(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z),
                "every coordinate read is finite");
    }
    const int32_t points = int32_t(mesh.points.size());
    for (size_t face = 0; face < mesh.polygons.size(); ++face) {
        require(mesh.polygons.count(face) >= 3, "every polygon read has three corners or more");
        for (size_t i = 0; i < mesh.polygons.count(face); ++i) {
            const int32_t corner = mesh.polygons.begin(face)[i];
            require(corner >= 0 && corner < points, "every corner names a point");
        }
    }
}

}  // namespace
}  // namespace kestrin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kestrin;
    using namespace kestrin::fuzz;
    const std::string& path = inputPath();
    writeFile(path, {reinterpret_cast<const char*>(data), size});
    formats::MeshData mesh;
    if (!read(path, &mesh)) return 0;
    requireSound(mesh);

    const std::string text = formats::meshObj(mesh);
    writeFile(path, text);
    formats::MeshData again;
    require(read(path, &again), "a mesh written reads back");
    require(again.points.size() == mesh.points.size(), "the same points read back");
    for (size_t i = 0; i < mesh.points.size(); ++i) {
        require(again.points[i].x == mesh.points[i].x && again.points[i].y == mesh.points[i].y &&
                    again.points[i].z == mesh.points[i].z,
                "every coordinate reads back exactly");
    }
    require(again.polygons == mesh.polygons, "the same polygons read back");
    return 0;
}
