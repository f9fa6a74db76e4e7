// The texture coordinates of an OBJ mesh (its `vt` lines and the vt index of
// every face corner), for outputs that carry UVs. They are read from the very
// bytes the mesh's polygons were read from (readObj with its UVs), never
// from the file a second time: corner i here is corner i of the polygons.
#ifndef KESTRIN_FORMATS_OBJ_UVS_H
#define KESTRIN_FORMATS_OBJ_UVS_H

#include <stdint.h>

#include <string>
#include <string_view>
#include <vector>

#include "polygons.h"

namespace kestrin::formats {

struct ObjUvs {
    std::vector<float> uv;         // u, v of each `vt` line, in file order (OBJ: v up)
    std::vector<int32_t> corners;  // per face corner, in Polygons::vertices order: its vt (0-based)
    bool empty() const { return corners.empty(); }
};

// The UVs of `text`, an OBJ file's bytes from which `polygons` were read.
// Empty when the text has no `vt` lines, a face corner names none or one out
// of range, or its faces are not `polygons` corner for corner: a mesh is
// given UVs whole or not at all. Throws FormatError "PATH:LINE: what" for a
// `vt` value that is not a number, not finite, or beyond a float, as the
// reader refuses such coordinates.
ObjUvs readObjUvs(std::string_view text, const Polygons& polygons, const std::string& path);

}  // namespace kestrin::formats

#endif
