// The texture coordinates of an OBJ mesh (its `vt` lines and the vt index of
// every face corner), for outputs that carry UVs. The OBJ reader keeps only
// points and polygons; this reads the same file's faces in the same order,
// so corner i here is corner i of MeshData::polygons.
#ifndef KESTRIN_FORMATS_OBJ_UVS_H
#define KESTRIN_FORMATS_OBJ_UVS_H

#include <stdint.h>

#include <string>
#include <vector>

namespace kestrin::formats {

struct ObjUvs {
    std::vector<float> uv;         // u, v of each `vt` line, in file order (OBJ: v up)
    std::vector<int32_t> corners;  // per face corner, in Polygons::vertices order: its vt (0-based)
    bool empty() const { return corners.empty(); }
};

// The UVs of an OBJ file already read as a mesh (so its lines are sound).
// Empty when the file has no `vt` lines or a face corner names none, or an
// index out of range: a mesh is given UVs whole or not at all. Throws
// FormatError when the file cannot be read.
ObjUvs readObjUvs(const std::string& path);

}  // namespace kestrin::formats

#endif
