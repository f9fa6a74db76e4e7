#include "output_formats.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "csv_writer.h"
#include "obj_writer.h"
#include "ply_writer.h"
#include "png_writer.h"
#include "format_error.h"

namespace kestrin::formats {
namespace {

const OutputFormat formats[] = {
    {".csv", [](const MeshData&, const std::vector<float>& w, const OutputOptions&) { return weightsCsv(w); },
     nullptr},
    {".ply",
     [](const MeshData& m, const std::vector<float>& w, const OutputOptions& o) {
         return weightsPly(m, w, o.binaryPly);
     },
     [](const MeshData& m, const OutputOptions& o) { return meshPly(m, o.binaryPly); }},
    {".png",
     [](const MeshData& m, const std::vector<float>& w, const OutputOptions& o) {
         return encodePng(renderHeatMap(m, w, 800, 600, o.pictureFrame));
     },
     nullptr},
    {".obj", nullptr, [](const MeshData& m, const OutputOptions&) { return meshObj(m); }, true},
};

bool holds(const OutputFormat& format, OutputRole role) {
    return role == OutputRole::weights ? format.weights != nullptr : format.mesh != nullptr;
}

}  // namespace

const OutputFormat& outputFormat(const std::string& path, OutputRole role) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::string list;
    for (const OutputFormat& format : formats) {
        if (!holds(format, role)) continue;
        if (extension == format.extension) return format;
        list += list.empty() ? "" : ", ";
        list += format.extension;
    }
    // The shot page holds every pose in one file (output_names.h).
    throw FormatError(path + ": unknown output type '" + extension + "' (use " + list + ", .html)");
}

}  // namespace kestrin::formats
