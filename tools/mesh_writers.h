// Text and binary encodings of the tool's results. Each returns the whole
// file's bytes; atomic_file.h puts them on disk.
#ifndef KESTRIN_TOOL_MESH_WRITERS_H
#define KESTRIN_TOOL_MESH_WRITERS_H

#include <string>
#include <vector>

#include "mesh_data.h"

namespace kestrin::tool {

// "point,weight" then one row per point, in point order: the 0-based point
// index and the weight with 9 significant digits (enough to give the float
// back exactly).
std::string weightsCsv(const std::vector<float>& weights);

// The mesh as PLY with a float vertex property `weight` and uchar
// red/green/blue from the diverging colour map; ASCII or binary
// little-endian. weights has one entry per point.
std::string weightsPly(const MeshData& mesh, const std::vector<float>& weights, bool binary);

// The mesh as OBJ: one `v` line per point in point order and one `f` line per
// polygon, corners as given, so the numbering matches the input's.
std::string meshObj(const MeshData& mesh);

// The mesh as PLY without weights (a corrected shape for tools that prefer it).
std::string meshPly(const MeshData& mesh, bool binary);

}  // namespace kestrin::tool

#endif
