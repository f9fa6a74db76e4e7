// Wavefront OBJ input. Point i of a mesh is the i-th `v` line of its file
// (normals, texture coordinates and groups change nothing), and each `f` line
// is one polygon with its corners in file order, n-gons kept whole.
//
// Every fault is refused with a FormatError "PATH:LINE: what" (a malformed `v`
// or `f` line, a coordinate that is not finite or beyond +-1e18, a face
// index out of range, a pose face that differs from the rest mesh's) or
// "PATH: what" (a file that cannot be read, is of another format by name or
// by its first bytes (files/foreign_formats.h), has no points, or has another
// point count than its rest mesh, which is told before any face that
// differs). The readers keep no state between calls:
// several threads may read different files at once.
#ifndef KESTRIN_FORMATS_OBJ_READER_H
#define KESTRIN_FORMATS_OBJ_READER_H

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "files/file_bytes.h"
#include "mesh/mesh_data.h"
#include "mesh/obj_uvs.h"

namespace kestrin::formats {

// Coordinates beyond this magnitude are refused: their squares would
// overflow the plug-ins' float edge lengths.
constexpr double largestCoordinate = 1e18;

// A mesh as read from an OBJ file, with what the reader learnt of its text:
// the text after its last point line (its faces, mostly). A pose file ending
// in the same bytes after its own last point has the same faces there, known
// without reading them again; exporters write every frame of a sequence
// that way. A mesh made here has no tail, and its poses are read in full.
struct ObjMesh : MeshData {
    struct Tail {
        std::string text;
        size_t facesBefore = 0;  // faces listed before it
    };
    std::shared_ptr<const Tail> tail;
    // Its texture coordinates, when asked for, from the same bytes.
    ObjUvs uvs;

    ObjMesh() = default;
    explicit ObjMesh(MeshData mesh) : MeshData(std::move(mesh)) {}
};

// A mesh on its own (a rest mesh, a target shape); withUvs, its texture
// coordinates too (obj_uvs.h), from the one read of the file.
ObjMesh readObj(const std::string& path, bool withUvs = false);

// The points alone (a deformer's target shape, which takes its mesh's
// polygons): faces are read and refused as readObj refuses them, and not
// kept, nor the text after the points; `polygons` stays empty.
MeshData readObjPoints(const std::string& path);

// A pose of `rest`: the same number of points, and either no faces (it takes
// the rest mesh's) or the rest mesh's faces exactly, the first that differs
// named by its line. `role` ("pose") names the file in messages.
MeshData readPose(const std::string& path, const ObjMesh& rest, const std::string& role = "pose");

// The same checks as readPose, with only the positions kept: `out` is
// replaced by the pose's rest.points.size() positions (its capacity reused),
// and no polygon list is built. The file's bytes stay in `bytes` (its storage
// reused from file to file), for writing the pose back with new positions.
// For reading many poses, on several threads, a buffer each.
void readObjPositions(const std::string& path, const ObjMesh& rest, std::vector<Point3>& out,
                      FileBytes& bytes, const std::string& role = "pose");
// The same on bytes read already (a copy of a pipe's): `text` is what
// `path` held.
void readObjPositions(const std::string& path, std::string_view text, const ObjMesh& rest,
                      std::vector<Point3>& out, const std::string& role = "pose");

}  // namespace kestrin::formats

#endif
