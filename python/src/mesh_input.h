// Meshes the module reads from files. The one place that knows which reader
// of the formats library does it, so that a new reader is one change here.
#ifndef KESTRIN_PYTHON_MESH_INPUT_H
#define KESTRIN_PYTHON_MESH_INPUT_H

#include <string>
#include <vector>

#include "kestrin_types.h"
#include "polygons.h"

namespace kestrin::python {

struct MeshInput {
    std::vector<Point3> points;  // in the file's order
    Polygons polygons;           // packed, in the file's order, never triangulated
};

// Reads an OBJ file. Throws formats::FormatError "PATH[:LINE]: what" for a file
// that cannot be read, a malformed line, a non-finite coordinate or an index
// out of range.
MeshInput readMesh(const std::string& path);

}  // namespace kestrin::python

#endif
