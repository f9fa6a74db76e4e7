// A run over a whole shot, shared by `weights` and `morph`: poses read ahead
// on worker threads, the plug-in driven on this thread in pose order, each
// pose's files written behind it and the whole-shot files appended in
// order. The progress bar covers reading, computing and writing.
#ifndef KESTRIN_TOOL_SHOT_RUN_H
#define KESTRIN_TOOL_SHOT_RUN_H

#include <functional>
#include <string>
#include <vector>

#include "mesh/mesh_data.h"
#include "pose_source.h"
#include "result_files.h"

namespace kestrin::tool {

// One pose's buffers, reused from pose to pose.
struct ShotSlot {
    formats::MeshData pose;                // the pose's positions, its OBJ, the rest mesh's polygons (for per-pose files)
    formats::FileBytes poseFile;           // that OBJ's bytes, when an output rewrites it
    std::vector<float> weights;   // a weight run's result
    std::vector<std::vector<float>> measures;  // or a run's several weight sets, in its order
    formats::MeshData corrected;           // a morph run's result, with the pose's OBJ
};

struct ShotRun {
    const PoseSource& poses;
    const formats::MeshData& rest;
    std::vector<ResultFiles*> results;  // weights, corrected meshes, or both
    unsigned jobs;
    const char* progressLabel;
    // Sets the computation up (loads the plug-in, captures the rest state)
    // on the calling thread, while the first poses are being read.
    std::function<void()> prepare;
    // Fills slot.weights, slot.corrected or both from slot.pose (pose: its
    // place in the run), on the calling thread in pose order.
    std::function<void(size_t pose, ShotSlot& slot)> compute;
    // The weights a morph run shows beside the movement when it computes
    // none: the weight map it was given, or null.
    const std::vector<float>* weightMap = nullptr;
};

void runShot(const ShotRun& run);

// --jobs N: the number of cores when not given (0).
unsigned jobsToUse(unsigned requested);

}  // namespace kestrin::tool

#endif
