// Meshes as PLY, ASCII or binary little-endian: points as float x y z, faces
// as a byte count and int point indices; optionally a float `weight` and
// uchar red/green/blue per point from the diverging colour map.
#ifndef KESTRIN_FORMATS_PLY_WRITER_H
#define KESTRIN_FORMATS_PLY_WRITER_H

#include <string>
#include <vector>

#include "mesh/mesh_data.h"

namespace kestrin::formats {

// The posed mesh with its weights (one per point) and their colours. Throws
// FormatError "point N: ..." for a weight that is not finite or a coordinate
// that does not fit a float.
std::string weightsPly(const MeshData& mesh, const std::vector<float>& weights, bool binary);

// The mesh alone (a corrected shape for tools that prefer PLY).
std::string meshPly(const MeshData& mesh, bool binary);

}  // namespace kestrin::formats

#endif
