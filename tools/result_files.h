// Writing a run's results: every output pattern for every pose, each file
// whole or not at all.
#ifndef KESTRIN_TOOL_RESULT_FILES_H
#define KESTRIN_TOOL_RESULT_FILES_H

#include <memory>
#include <string>
#include <vector>

#include "mesh_data.h"
#include "formats/output_formats.h"
#include "output_names.h"
#include "shot_page.h"

namespace kestrin::tool {

// The files a run will write, checked before any work: known extensions,
// sound patterns, no two outputs landing on the same file.
class ResultFiles {
public:
    ResultFiles(std::vector<std::string> patterns, OutputRole role, int poseCount, bool binaryPly);
    // Removes what this run staged unless commit() was called: a failed run
    // leaves no output behind, and every file it would have replaced as it was.
    ~ResultFiles();
    ResultFiles(const ResultFiles&) = delete;
    ResultFiles& operator=(const ResultFiles&) = delete;

    // Weights of pose `number` (1-based): .csv, .ply (posed mesh with
    // weights and colours), .png (heat map) and .html (this pose's frame).
    void writeWeights(int number, const MeshData& posed, const std::vector<float>& weights);
    // A corrected mesh of pose `number`: .obj or .ply; for .html the pose,
    // when given, and its weights (none: an empty list) make the frame.
    void writeMesh(int number, const MeshData& corrected, const MeshData* pose = nullptr,
                   const std::vector<float>& weights = {});
    // Moves every staged file into place. Nothing replaces an existing file
    // before the whole run has succeeded.
    void commit();
    const std::vector<std::string>& written() const { return written_; }

private:
    // Stages what encode() returns under the temporary name of path; an
    // encoder's refusal is reported with the path.
    template <typename Encode>
    void write(const std::string& path, Encode encode);
    // The page of output `output`, started on the first frame; staged once
    // the last pose's frame is in.
    void addPageFrame(size_t output, int number, const MeshData& pose, const std::vector<float>& weights,
                      const MeshData* corrected);

    std::vector<std::string> patterns_;
    std::vector<const OutputFormat*> formats_;
    int poseCount_;
    OutputOptions options_;
    std::vector<std::string> written_;  // final names, in the order written
    std::vector<std::string> staged_;   // their temporary names, until commit()
    bool committed_ = false;
    std::vector<std::unique_ptr<ShotPage>> pages_;  // per pattern; null but for .html
};

}  // namespace kestrin::tool

#endif
