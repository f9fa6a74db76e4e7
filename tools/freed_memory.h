// Handing memory the run is done with back to the system, between stages.
#ifndef KESTRIN_TOOL_FREED_MEMORY_H
#define KESTRIN_TOOL_FREED_MEMORY_H

namespace kestrin::tool {

// Returns every freed page the allocator holds. The tool's allocator keeps
// freed pages for the rest of the run (main.cpp), which suits buffers reused
// pose after pose but not what was read once before the work: the rest mesh's
// and the targets' file bytes would stay resident beside the plug-in's rest
// state and every pose in flight. Called once the inputs are read and once
// the plug-in is set up, never per pose.
void returnFreedMemory();

}  // namespace kestrin::tool

#endif
