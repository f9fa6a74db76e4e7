// A shot through three stages, with every core busy and constant memory:
// read(i, slot) on worker threads ahead of time (the first ones while
// prepare() sets the computation up on the calling thread), compute(i, slot) on the
// calling thread in pose order (the plug-ins are driven on one thread, as
// the host drives them), then write(i, slot) on worker threads. A slot holds
// one pose's buffers; there are slotCount of them, reused, so at most that
// many poses are in memory whatever the shot's length.
//
// With one job everything runs on the calling thread, in order. The first
// exception of any stage stops the run: no new work starts, work under way
// finishes, and the exception is rethrown to the caller.
#ifndef KESTRIN_TOOL_PIPELINE_H
#define KESTRIN_TOOL_PIPELINE_H

#include <stddef.h>

#include <functional>

namespace kestrin::tool {

struct PipelineStages {
    std::function<void()> prepare;  // optional
    std::function<void(size_t pose, size_t slot)> read;
    std::function<void(size_t pose, size_t slot)> compute;
    std::function<void(size_t pose, size_t slot)> write;
};

// How many slots a run of `jobs` jobs uses: one for each worker's read or
// write, one being computed and one read ahead of it. More buy no speed
// (the computation sets the pace) and cost a pose's buffers each. When a
// read is a copy (a frame of a point cache) and a write is nothing (every
// output is of the whole shot, written as each pose is computed), the one
// computed and the one read ahead are all there is to overlap: two.
size_t pipelineSlots(unsigned jobs, bool copiesOnly = false);

// slotCount: pipelineSlots() for these jobs.
void runPipeline(size_t poseCount, unsigned jobs, size_t slotCount, const PipelineStages& stages);

}  // namespace kestrin::tool

#endif
