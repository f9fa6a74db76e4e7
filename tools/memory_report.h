// Where a run's memory goes, for the benchmarks: with KESTRIN_MEMORY_REPORT
// set in its environment, the tool says on standard error how much memory is
// resident at each stage of a run, how much that stage added and when it
// ended, so that a shot's peak can be read as the rest mesh, the plug-in's
// rest state (its neighbourhoods, a target's tangent frames) and the poses
// in flight, and its time as the reading, the set-up and the poses.
// Without it nothing is measured.
#ifndef KESTRIN_TOOL_MEMORY_REPORT_H
#define KESTRIN_TOOL_MEMORY_REPORT_H

namespace kestrin::tool {

// "memory: STAGE: N MB resident (+D MB), peak P MB, at T s" (T from the
// start of the run); from any thread.
void reportMemory(const char* stage);

}  // namespace kestrin::tool

#endif
