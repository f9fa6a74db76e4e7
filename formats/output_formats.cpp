#include "output_formats.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include "cache/mdd.h"
#include "cache/npy_writer.h"
#include "cache/pc2.h"
#include "engine/exr_texture.h"
#include "engine/glb_mesh.h"
#include "files/extension.h"
#include "files/format_error.h"
#include "mesh/obj_writer.h"
#include "mesh/ply_writer.h"
#include "page/shot_page.h"
#include "picture/heat_map.h"
#include "picture/png_writer.h"
#include "weights/csv_writer.h"

namespace kestrin::formats {
namespace {

void csvWeights(const MeshData&, const std::vector<float>& weights, const OutputOptions&, ByteSink& out) {
    out.append(weightsCsv(weights));
}
void plyWeights(const MeshData& posed, const std::vector<float>& weights, const OutputOptions& options,
                ByteSink& out) {
    out.append(weightsPly(posed, weights, options.binaryPly));
}
void plyMesh(const MeshData& corrected, std::string_view, const OutputOptions& options, ByteSink& out) {
    out.append(meshPly(corrected, options.binaryPly));
}
void pngWeights(const MeshData& posed, const std::vector<float>& weights, const OutputOptions& options,
                ByteSink& out) {
    out.append(encodePng(renderHeatMap(posed, weights, 800, 600, options.pictureFrame, options.caption)));
}
void objMesh(const MeshData& corrected, std::string_view poseText, const OutputOptions&, ByteSink& out) {
    writeMeshObj(corrected, poseText, out);
}

// extension, per-pose weights, per-pose mesh, rewrites the pose file,
// whole-shot weights, whole-shot mesh[, largest weight held[, rest UVs[,
// several weight sets in one file]]]. A .csv stays one set each, a weight
// map `morph --weight-map` reads back; a .png or a .ply's colours show one
// set; a .npy keeps its (poses, points) shape, each set's file named by it
// as the Blender add-on's bake names them.
const OutputFormat formats[] = {
    {".csv", csvWeights, nullptr, false, nullptr, nullptr},
    {".ply", plyWeights, plyMesh, false, nullptr, nullptr},
    {".png", pngWeights, nullptr, false, nullptr, nullptr},
    {".obj", nullptr, objMesh, true, nullptr, nullptr},
    {".npy", nullptr, nullptr, false, npyShot, nullptr},
    {".mdd", nullptr, nullptr, false, nullptr, mddShot},
    {".pc2", nullptr, nullptr, false, nullptr, pc2Shot},
    {".html", nullptr, nullptr, false, weightsPage, morphPage, INFINITY, false, true},
    {".exr", nullptr, nullptr, false, exrWeightsShot, exrMeshShot, halfLargest, false, true},
    {".glb", nullptr, nullptr, false, glbShot, glbShot, INFINITY, true, true},
};

bool writes(const OutputFormat& format, OutputRole role) {
    return role == OutputRole::weights ? format.weights != nullptr || format.weightsShot != nullptr
                                       : format.mesh != nullptr || format.meshShot != nullptr;
}

}  // namespace

bool outputsTakeRestUvs(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        const std::string extension = lowerExtension(path);
        for (const OutputFormat& format : formats) {
            if (format.restUvs && extension == format.extension) return true;
        }
    }
    return false;
}

const OutputFormat& outputFormat(const std::string& path, OutputRole role) {
    const std::string extension = lowerExtension(path);
    std::string list;
    for (const OutputFormat& format : formats) {
        if (!writes(format, role)) continue;
        if (extension == format.extension) return format;
        list += list.empty() ? "" : ", ";
        list += format.extension;
    }
    throw FormatError(path + ": unknown output type '" + extension + "' (use " + list + ")");
}

}  // namespace kestrin::formats
