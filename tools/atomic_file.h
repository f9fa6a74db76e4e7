// Output files appear whole or not at all: the bytes go to a temporary name in
// the same directory, which is renamed over the final name once complete.
#ifndef KESTRIN_TOOL_ATOMIC_FILE_H
#define KESTRIN_TOOL_ATOMIC_FILE_H

#include <string>

namespace kestrin::tool {

// Writes `bytes` to `path` through a temporary file and a rename. Throws
// ToolError naming the path when the directory is missing, the disk is full
// or the rename fails; the temporary file is removed on every failure.
void writeFileAtomically(const std::string& path, const std::string& bytes);

// The temporary name used for `path`: ".NAME.tmp-PID" beside it.
std::string temporaryNameFor(const std::string& path);

}  // namespace kestrin::tool

#endif
