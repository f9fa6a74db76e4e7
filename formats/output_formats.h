// The per-pose output files the commands write, chosen by extension: one
// line each in output_formats.cpp, with the encoder for each result it can
// hold. A new format is its writer's file and one line there.
#ifndef KESTRIN_FORMATS_OUTPUT_FORMATS_H
#define KESTRIN_FORMATS_OUTPUT_FORMATS_H

#include <string>
#include <vector>

#include "mesh_data.h"

namespace kestrin::formats {

// What a command writes for each pose.
enum class OutputRole { weights, mesh };

struct HeatMapFrame;

struct OutputOptions {
    bool binaryPly = false;
    // The framing every picture of the run shares; null: each its own.
    const HeatMapFrame* pictureFrame = nullptr;
};

struct OutputFormat {
    const char* extension;  // lower case, with the dot
    // A pose's weights, one per point of the posed mesh beside them; null
    // where the format cannot hold weights.
    std::string (*weights)(const MeshData& posed, const std::vector<float>& weights,
                           const OutputOptions& options);
    // A corrected mesh; null where the format holds no mesh.
    std::string (*mesh)(const MeshData& corrected, const OutputOptions& options);
    // Whether `mesh` writes the pose's own file back with new positions, and
    // so wants its bytes (MeshData::pathText) kept from the reading.
    bool rewritesPoseFile = false;
};

// The format of the path's extension (case-insensitive) that can hold `role`;
// throws FormatError for any other extension, listing the ones that can.
const OutputFormat& outputFormat(const std::string& path, OutputRole role);

}  // namespace kestrin::formats

#endif
