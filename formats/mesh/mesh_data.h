// A polygon mesh as read from a file: points in the file's own numbering and
// polygons as point-index lists in boundary order, never triangulated, packed
// in one list.
#ifndef KESTRIN_FORMATS_MESH_DATA_H
#define KESTRIN_FORMATS_MESH_DATA_H

#include <stdint.h>

#include <string>
#include <vector>

#include "kestrin_types.h"
#include "polygons.h"

namespace kestrin::formats {

struct MeshData {
    std::string path;  // where it came from, for messages ("" when made here)
    std::vector<Point3> points;
    Polygons polygons;
};

// Throws FormatError naming both files unless `other` has as many points as
// `rest` and, when sameFaces, the very same polygons. `role` says what other
// is ("pose", "stretch target") for the message.
void requireSameShape(const MeshData& rest, const MeshData& other, const std::string& role,
                      bool sameFaces);

// The same mesh with other positions; positions must have as many entries.
MeshData withPositions(const MeshData& mesh, std::vector<Point3> positions);

}  // namespace kestrin::formats

#endif
