#include "shot_run.h"

#include <algorithm>
#include <thread>

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
    std::vector<ShotSlot> slots(pipelineSlots(run.jobs));
    for (ShotSlot& slot : slots) {
        // The polygons once per slot: every pose has the rest mesh's.
        slot.pose.polygons = run.rest.polygons;
        slot.corrected.polygons = run.rest.polygons;
    }
    Progress progress(run.progressLabel, static_cast<int>(count));

    auto result = [&](size_t pose, ShotSlot& slot) {
        return PoseResult{pose, run.poses.number(pose), slot.pose,
                          !slot.weights.empty() ? &slot.weights : run.weightMap,
                          !slot.corrected.points.empty() ? &slot.corrected : nullptr};
    };
    PipelineStages stages;
    stages.prepare = run.prepare;
    const bool keepPoseFiles = std::any_of(run.results.begin(), run.results.end(),
                                           [](const ResultFiles* r) { return r->rewritesPoseFiles(); });
    stages.read = [&](size_t pose, size_t index) {
        ShotSlot& slot = slots[index];
        // Otherwise a thread's one buffer will do: the bytes are done with
        // once the positions are read.
        thread_local formats::FileBytes scratch;
        run.poses.read(pose, slot.pose, keepPoseFiles ? slot.poseFile : scratch);
        if (!keepPoseFiles) slot.pose.pathText = {};
    };
    stages.compute = [&](size_t pose, size_t index) {
        ShotSlot& slot = slots[index];
        slot.corrected.path = slot.pose.path;
        slot.corrected.pathText = slot.pose.pathText;
        run.compute(pose, slot);
        for (ResultFiles* results : run.results) results->appendToShot(result(pose, slot));
        progress.advance();
    };
    stages.write = [&](size_t pose, size_t index) {
        for (ResultFiles* results : run.results) results->writePoseFiles(result(pose, slots[index]));
    };
    runPipeline(count, run.jobs, stages);
}

}  // namespace kestrin::tool
