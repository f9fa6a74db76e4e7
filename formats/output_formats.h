// Every output file the commands write, chosen by extension: one line each in
// output_formats.cpp, per-pose formats (one file per pose) and whole-shot
// formats (every pose in one file) alike. A new format is its writer's file
// and one line there.
#ifndef KESTRIN_FORMATS_OUTPUT_FORMATS_H
#define KESTRIN_FORMATS_OUTPUT_FORMATS_H

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "files/byte_sink.h"
#include "mesh/mesh_data.h"
#include "mesh/shot_writer.h"

namespace kestrin::formats {

// What a command writes for each pose: Strainmark's weights, or the
// Strainshaper effect's corrected mesh.
enum class OutputRole { weights, mesh };

struct HeatMapFrame;

struct OutputOptions {
    bool binaryPly = false;
    // The framing every picture of the run shares; null: each its own.
    const HeatMapFrame* pictureFrame = nullptr;
    // What a per-pose picture says of its pose ("frame 12"); empty: nothing.
    std::string caption;
};

struct OutputFormat {
    const char* extension;  // lower case, with the dot
    // Per pose, into `out`: a pose's weights, one per point of the posed
    // mesh beside them; null where the format holds no weights per pose.
    void (*weights)(const MeshData& posed, const std::vector<float>& weights, const OutputOptions& options,
                    ByteSink& out);
    // Per pose, into `out`: a corrected mesh; null where the format holds no
    // mesh per pose. poseText: the bytes of the pose's file as read
    // (corrected.path), when the format rewrites it and the pose came from a
    // file; else empty.
    void (*mesh)(const MeshData& corrected, std::string_view poseText, const OutputOptions& options, ByteSink& out);
    // Whether `mesh` writes the pose's own file back with new positions, and
    // so wants its bytes kept from the reading.
    bool rewritesPoseFile;
    // Whole shot: the writer of a file holding every pose's weights, or
    // every pose's correction; null where the format holds no such shot.
    ShotWriterFactory weightsShot;
    ShotWriterFactory meshShot;
    // The largest weight magnitude the format holds: a run whose settings
    // allow larger weights is refused before its work.
    float largestWeight = INFINITY;
    // Whether the format carries the rest mesh's texture coordinates, which
    // are then read with the rest mesh (readObj with its UVs).
    bool restUvs = false;
    // Whether one file of the format holds every weight set of a run that
    // computes several (ShotLayout::measures); otherwise each set is written
    // to files of its own.
    bool measuresTogether = false;

    // Whether the format is written once for the whole shot in this role.
    bool wholeShot(OutputRole role) const {
        return (role == OutputRole::weights ? weightsShot : meshShot) != nullptr;
    }
};

// The format of the path's extension (case-insensitive) that `role` writes;
// throws FormatError for any other extension, listing every extension that
// role can write.
const OutputFormat& outputFormat(const std::string& path, OutputRole role);

// Whether any of these outputs carries the rest mesh's texture coordinates;
// an extension no format has counts as none.
bool outputsTakeRestUvs(const std::vector<std::string>& paths);

}  // namespace kestrin::formats

#endif
