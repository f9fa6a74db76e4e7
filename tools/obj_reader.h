// Wavefront OBJ input. Point i of the result is the i-th `v` line of the file
// (normals, texture coordinates and groups change nothing), and each `f` line
// is one polygon with its corners in file order, n-gons kept whole.
#ifndef KESTRIN_TOOL_OBJ_READER_H
#define KESTRIN_TOOL_OBJ_READER_H

#include <string>

#include "mesh_data.h"

namespace kestrin::tool {

// Reads and checks an OBJ file. Throws ToolError "PATH:LINE: what" for a
// malformed `v` or `f` line, a non-finite coordinate or a face index out of
// range, and "PATH: what" for a file that cannot be read or has no points.
MeshData readObj(const std::string& path);

}  // namespace kestrin::tool

#endif
