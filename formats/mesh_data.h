// A polygon mesh as read from a file: points in the file's own numbering and
// polygons as point-index lists in boundary order, never triangulated, packed
// in one list.
#ifndef KESTRIN_FORMATS_MESH_DATA_H
#define KESTRIN_FORMATS_MESH_DATA_H

#include <stdint.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kestrin_types.h"
#include "polygons.h"

namespace kestrin::formats {

struct MeshData {
    std::string path;  // where it came from, for messages ("" when made here)
    // The bytes of that file while a reader still holds them (a pose being
    // written back with new positions), else empty.
    std::string_view pathText;
    // For a mesh read from an OBJ file: the text after its last point line
    // (its faces, mostly). A pose file ending in the same bytes after its own
    // last point has the same faces there, known without reading them again;
    // exporters write every frame of a sequence that way.
    struct ObjTail {
        std::string text;
        size_t facesBefore = 0;  // faces listed before it
    };
    std::shared_ptr<const ObjTail> objTail;
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
