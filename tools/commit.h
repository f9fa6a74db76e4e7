// Putting a run's staged outputs in place, all or nothing as far as the file
// system allows (docs/reliability.md): every temporary is checked first,
// each file an output replaces is kept aside until the last rename, and a
// rename that fails puts back what was already renamed. Where a replaced
// file cannot be kept aside, its output is renamed last, and never removed
// on the way back.
#ifndef KESTRIN_TOOL_COMMIT_H
#define KESTRIN_TOOL_COMMIT_H

#include <string>
#include <vector>

namespace kestrin::tool {

struct StagedFile {
    std::string temporary;  // a temporary of this process (formats/files/temporary_files.h)
    std::string path;       // where it goes
};

// Renames every file into place and flushes their folders. Interrupts wait
// until it returns. On success every output is new. Otherwise it throws
// ToolError saying that no output was replaced, or, when a replaced file
// could not be kept aside or put back, which outputs are new; every
// temporary is removed either way. Before the first rename, a note on
// standard error names outputs whose replaced files cannot be kept aside.
void commitOutputs(const std::vector<StagedFile>& files);

}  // namespace kestrin::tool

#endif
