// Wavefront OBJ output. A corrected pose is its own file again with only the
// point coordinates changed; a mesh made here is written plainly.
#ifndef KESTRIN_FORMATS_OBJ_WRITER_H
#define KESTRIN_FORMATS_OBJ_WRITER_H

#include <stddef.h>

#include <string>
#include <string_view>

#include "files/byte_sink.h"
#include "mesh/mesh_data.h"

namespace kestrin::formats {

// `sourceText` (the OBJ file at sourcePath, as read) byte for byte, except
// that the x y z of its i-th `v` line become points[i], written as the
// shortest text that reads back as the same double. Everything else stays:
// normals, UVs, groups, materials, corners, comments, a point's w or colour
// fields, spacing and line ends. Throws FormatError "SOURCE: ..." unless the
// text has exactly count `v` lines, and "point N: ..." for a non-finite
// coordinate; the caller drops what was passed on before a throw. The text
// goes to `out` in pieces as it is made; what follows the last `v` line is
// passed on from sourceText itself.
void writeObjWithPositions(std::string_view sourceText, const std::string& sourcePath, const Point3* points,
                           size_t count, ByteSink& out);

// The mesh as OBJ. Given the text of the file it was read from (mesh.path,
// as read), that text with the mesh's points (above); without, a comment,
// one `v` line per point and one `f` line per polygon, 1-based, so the
// numbering matches.
void writeMeshObj(const MeshData& mesh, std::string_view sourceText, ByteSink& out);
std::string meshObj(const MeshData& mesh, std::string_view sourceText = {});

}  // namespace kestrin::formats

#endif
