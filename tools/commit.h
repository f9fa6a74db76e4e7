// Putting a run's staged outputs in place, all or nothing as far as the file
// system allows (docs/reliability.md): every temporary is checked first,
// each file an output replaces is kept aside until the last rename, and a
// rename that fails puts back what was already renamed.
#ifndef KESTRIN_TOOL_COMMIT_H
#define KESTRIN_TOOL_COMMIT_H

#include <sys/types.h>

#include <string>
#include <vector>

namespace kestrin::tool {

struct StagedFile {
    std::string temporary;  // a temporary of this process (formats/files/temporary_files.h)
    std::string path;       // where it goes
    bool keepMode = false;  // give it `mode`, the permissions of the file it replaces
    mode_t mode = 0644;
};

// Renames every file into place and flushes their folders. Interrupts wait
// until it returns. On success every output is new. Otherwise it throws
// ToolError saying that no output was replaced, or, when putting a file
// back failed too, which ones are new; every temporary is removed either way.
void commitOutputs(const std::vector<StagedFile>& files);

}  // namespace kestrin::tool

#endif
