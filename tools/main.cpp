// kestrin: runs the Strainmark weight tool and the Strainshaper effect
// (Strainmark.so, Rimshaper.so) on meshes outside the host, through the host
// simulator.
#include "command_line.h"

#ifdef KESTRIN_WITH_JEMALLOC
// The tool's allocator is jemalloc, which reads these options as it starts.
// A shot allocates the same large buffers pose after pose, on every thread
// (file bytes, positions, output text): jemalloc keeps freed memory for the
// next use, and huge pages back it, so that a buffer costs a handful of page
// faults instead of one per 4 KiB. On a virtual machine a fault costs as
// much as parsing the page's worth of text. Freed pages are never handed
// back during the run: returned bit by bit as they age, they came straight
// back as fresh 2 MiB pages the kernel had to zero (a quarter of a `morph`
// run's time on a VM), while the pipeline's bounded slots already bound what
// the run holds; what was read once before the work is handed back then
// (freed_memory.h). One arena for every thread: a plug-in's per-pose scratch
// (the tangent frames' lists, a mesh's worth of positions) is taken on
// whichever thread computes the pose, and with an arena per thread each kept
// an idle copy of it. MALLOC_CONF still overrides.
extern "C" {
const char* malloc_conf = "thp:always,metadata_thp:always,dirty_decay_ms:-1,muzzy_decay_ms:-1,narenas:1";
}
#endif

int main(int argc, char** argv) { return kestrin::tool::runCommandLine(argc, argv); }
