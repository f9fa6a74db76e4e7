#include "shot_run.h"

#include <algorithm>
#include <thread>

#include "freed_memory.h"
#include "memory_report.h"
#include "pipeline.h"
#include "progress.h"

namespace kestrin::tool {

unsigned jobsToUse(unsigned requested) {
    if (requested > 0) return requested;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? cores : 1;
}

void runShot(const ShotRun& run) {
    const size_t count = run.poses.count();
    // The polygons once per slot, for the per-pose files that hold them:
    // every pose has the rest mesh's, and the whole-shot files take them
    // from the rest mesh.
    const bool polygons = std::any_of(run.results.begin(), run.results.end(),
                                      [](const ResultFiles* r) { return r->writesPoseFiles(); });
    std::vector<ShotSlot> slots(pipelineSlots(run.jobs, run.poses.fromCache() && !polygons));
    for (ShotSlot& slot : slots) {
        if (!polygons) break;
        slot.pose.polygons = run.rest.polygons;
        slot.corrected.polygons = run.rest.polygons;
    }
    Progress progress(run.progressLabel, static_cast<int>(count));

    const bool keepPoseFiles = std::any_of(run.results.begin(), run.results.end(),
                                           [](const ResultFiles* r) { return r->rewritesPoseFiles(); });
    auto result = [&](size_t pose, ShotSlot& slot) {
        // A pose from a cache has no file of its own to rewrite.
        const bool fromFile = keepPoseFiles && !slot.pose.path.empty();
        return PoseResult{pose, run.poses.number(pose), slot.pose,
                          !slot.weights.empty() ? &slot.weights : run.weightMap,
                          !slot.corrected.points.empty() ? &slot.corrected : nullptr,
                          fromFile ? slot.poseFile.text() : std::string_view(),
                          !slot.measures.empty() ? &slot.measures : nullptr};
    };
    returnFreedMemory();
    reportMemory("rest mesh read, outputs opened");
    PipelineStages stages;
    stages.prepare = [&] {
        if (run.prepare) run.prepare();
        returnFreedMemory();
        reportMemory("plug-in set up (scene, rest state, frames)");
    };
    stages.read = [&](size_t pose, size_t index) {
        ShotSlot& slot = slots[index];
        // Otherwise a thread's one buffer will do: the bytes are done with
        // once the positions are read.
        thread_local formats::FileBytes scratch;
        run.poses.read(pose, slot.pose, keepPoseFiles ? slot.poseFile : scratch);
    };
    stages.compute = [&](size_t pose, size_t index) {
        ShotSlot& slot = slots[index];
        slot.corrected.path = slot.pose.path;
        run.compute(pose, slot);
        for (ResultFiles* results : run.results) results->appendToShot(result(pose, slot));
        progress.advance();
        if (pose == 0) reportMemory("first pose computed");
    };
    stages.write = [&](size_t pose, size_t index) {
        for (ResultFiles* results : run.results) results->writePoseFiles(result(pose, slots[index]));
    };
    runPipeline(count, run.jobs, slots.size(), stages);
    reportMemory("every pose written (slots in flight)");
}

}  // namespace kestrin::tool
