// Where a run's memory goes, for the benchmarks: with KESTRIN_MEMORY_REPORT
// set in its environment, the tool says on standard error how much memory is
// resident at each stage of a run and how much that stage added, so that a
// shot's peak can be read as the rest mesh, the plug-in's rest state (its
// neighbourhoods, a target's tangent frames) and the poses in flight.
// Without it nothing is measured.
#ifndef KESTRIN_TOOL_MEMORY_REPORT_H
#define KESTRIN_TOOL_MEMORY_REPORT_H

namespace kestrin::tool {

// "memory: STAGE: N MB resident (+D MB), peak P MB"; from any thread.
void reportMemory(const char* stage);

}  // namespace kestrin::tool

#endif
