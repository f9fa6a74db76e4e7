// Writing a run's results: per-pose files (.csv, .ply, .png, .obj: one file
// per pose) and whole-shot files (.npy, .mdd, .pc2, .html, .exr, .glb: every
// pose in one file), each staged under a temporary name and renamed into place only when
// the whole run has succeeded.
#ifndef KESTRIN_TOOL_RESULT_FILES_H
#define KESTRIN_TOOL_RESULT_FILES_H

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "mesh/mesh_data.h"
#include "mesh/obj_reader.h"
#include "output_formats.h"
#include "mesh/mesh_data.h"
#include "picture/heat_map.h"
#include "picture/png_writer.h"
#include "output_plan.h"
#include "pose_source.h"

namespace kestrin::tool {

// One pose's results, as the writers see them.
struct PoseResult {
    size_t index;                        // place in the run
    int number;                          // frame number within the whole input
    const formats::MeshData& pose;       // the posed mesh (its path: the pose's OBJ, or "")
    const std::vector<float>* weights;   // the weight run's, or null
    const formats::MeshData* corrected;  // the morph run's, or null
    // The bytes of the pose's OBJ file, kept from the reading when an output
    // rewrites it (rewritesPoseFiles()); else empty.
    std::string_view poseText;
    // A run of several weight sets: each, in the run's order (`weights` is
    // then null); else null.
    const std::vector<std::vector<float>>* measures = nullptr;
};

// Which weight sets the files hold, in a run that computes several for each
// pose (Grainmark's measures).
struct WeightSets {
    // Every set, for files that hold them all together
    // (OutputFormat::measuresTogether); empty for files of one set.
    std::vector<formats::MeasureName> names;
    size_t one = 0;  // the set that files of one set hold
};

class ResultFiles {
public:
    // Works out every file the run will write and checks them all before any
    // work (output_plan.h): known extensions, sound name patterns, writable
    // places, no output landing on an input or on another output. A
    // whole-shot output with a frame field is named by the run's first
    // frame, so that the chunks of a shot never share a name. `extra` are
    // further files the run writes itself (a settings file).
    ResultFiles(std::vector<std::string> patterns, formats::OutputRole role, const PoseSource& poses,
                const formats::ObjMesh& rest, bool binaryPly, const std::vector<RunInput>& inputs,
                const std::vector<std::string>& extra = {}, bool texturePositions = false,
                const WeightSets& sets = {});
    // Removes what this run staged unless commit() was called: a failed run
    // leaves no output behind, and every file it would have replaced as it was.
    ~ResultFiles();
    ResultFiles(const ResultFiles&) = delete;
    ResultFiles& operator=(const ResultFiles&) = delete;

    // The pose's per-pose files, formatted and staged. Several threads may
    // write different poses at once.
    void writePoseFiles(const PoseResult& result);
    // The pose's frame of every whole-shot file; in pose order, one thread.
    void appendToShot(const PoseResult& result);
    // Throws ToolError when an output cannot hold weights as large as
    // `bound` (weight_bound.h); called before any pose is weighed.
    void requireWeightBound(double bound) const;
    // One of the `extra` files, staged with the outputs.
    void writeExtra(const std::string& name, const std::string& bytes);
    // Whether a per-pose file is the pose's own file with new positions: the
    // pose's bytes are then kept from the reading to the writing.
    bool rewritesPoseFiles() const;
    // Whether any output is a file per pose (which may hold its faces).
    bool writesPoseFiles() const;

    // Moves every staged file into place, keeping the permissions of files
    // it replaces. Nothing replaces an existing file before the whole run
    // has succeeded; an interrupt waits until the renames are done.
    void commit();

private:
    struct Output {
        std::string pattern;
        const formats::OutputFormat* format;
        bool wholeShot;                            // one file for every pose
        std::unique_ptr<formats::ShotWriter> shot;  // that file's writer, once opened
    };
    void stage(const std::string& temporary, const std::string& name);
    // The pose's weights these files hold (their one set of several).
    const std::vector<float>* weightsOf(const PoseResult& result) const;
    // The planned file of an output name; every name the run writes has one.
    const OutputTarget& target(const std::string& name) const;

    formats::OutputRole role_;
    WeightSets sets_;
    formats::OutputOptions options_;
    std::unique_ptr<formats::HeatMapFrame> pictureFrame_;  // shared by the run's pictures
    size_t poseCount_;
    bool sequence_;    // per-pose names numbered
    int firstNumber_;  // the first pose's frame, which names whole-shot files
    std::vector<Output> outputs_;
    std::vector<OutputTarget> targets_;  // every file, by the name the user gave
    std::unordered_map<std::string, size_t> targetIndex_;  // name -> its place in targets_
    std::mutex mutex_;                   // guards staged_
    std::vector<std::pair<std::string, const OutputTarget*>> staged_;
    bool committed_ = false;
};

}  // namespace kestrin::tool

#endif
