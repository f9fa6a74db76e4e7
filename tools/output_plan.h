// Everything about a run's files that can be known before the work starts:
// every input can be read, every output can be written, and no output would
// replace an input or another output. Nothing computed is then lost to an
// error that could have been found first, and nothing of the user's is
// destroyed by a mistyped name.
#ifndef KESTRIN_TOOL_OUTPUT_PLAN_H
#define KESTRIN_TOOL_OUTPUT_PLAN_H

#include <string>
#include <vector>

namespace kestrin::tool {

// An input file of the run, and what it is for messages ("rest mesh",
// "pose", "stretch target", "weight map", "settings file").
struct RunInput {
    std::string role;
    std::string path;
};

// Throws ToolError "PATH: cannot read the ROLE: reason" for the first input
// that is missing, no regular file or not readable.
void requireReadable(const std::vector<RunInput>& inputs);

// Where an output is really written.
struct OutputTarget {
    std::string name;  // as the user named it
    std::string path;  // the file written: a symbolic link's target, not the link
};

// Resolves and checks the outputs: each one's folder exists and is writable
// (by its permissions, also for root, as files are);
// an existing output is a regular file the user may write (a read-only one
// is refused, not replaced); no output is the same file as an input or as
// another output, judged by device and inode, so relative paths, hard and
// symbolic links count. Temporary files that killed runs left beside the
// outputs are removed. Throws ToolError naming the output.
std::vector<OutputTarget> planOutputs(const std::vector<std::string>& names,
                                      const std::vector<RunInput>& inputs);

}  // namespace kestrin::tool

#endif
