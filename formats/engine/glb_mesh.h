// The rest mesh as a binary glTF 2.0 file (.glb) for engines, made to go
// with a vertex-animation texture (texture_layout.h, exr_texture.h):
// triangles (mesh/triangulation.h), or its points for a mesh without faces,
// smooth normals, the OBJ's UVs as TEXCOORD_0 when it has them (else the same as
// TEXCOORD_1: glTF allows no TEXCOORD_1 without a TEXCOORD_0), TEXCOORD_1 at the centre of
// each vertex's texel in the texture's first frame, and the first pose's
// weights as COLOR_0 (the heat-map colours, linear as glTF wants them). A
// vertex is a point, or a point with one of its UVs where a UV seam splits
// it; the split vertices keep their point's texel. The layout is also in the
// mesh's extras ("kestrinTexture": points, frames, width, rowsPerFrame).
#ifndef KESTRIN_FORMATS_GLB_MESH_H
#define KESTRIN_FORMATS_GLB_MESH_H

#include <string>
#include <vector>

#include "mesh/mesh_data.h"
#include "mesh/obj_uvs.h"
#include "mesh/shot_writer.h"
#include "engine/texture_layout.h"

namespace kestrin::formats {

// The file's bytes. `uvs` may be empty, and is taken as empty unless it has
// a UV per corner of rest.polygons; `weights` (one per point) may be null
// (no COLOR_0). Polygons must name points of `rest`.
std::string glbMesh(const MeshData& rest, const ObjUvs& uvs, const TextureLayout& layout,
                    const std::vector<float>* weights);

// The registry's whole-shot writer (output_formats.h) for both roles: the
// rest mesh with the UVs read with it (layout.restUvs), addressing the
// shot's texture, coloured by the first pose's weights when the run has
// them. Refuses, before any pose, a texture taller than engines take.
std::unique_ptr<ShotWriter> glbShot(const std::string& path, const ShotLayout& layout);

}  // namespace kestrin::formats

#endif
