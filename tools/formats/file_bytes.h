// A whole input file in memory, read with plain system calls (no stream, no
// shared state): safe from several threads at once.
#ifndef KESTRIN_TOOL_FORMATS_FILE_BYTES_H
#define KESTRIN_TOOL_FORMATS_FILE_BYTES_H

#include <string>

namespace kestrin::tool {

// The file's bytes. Throws ToolError "PATH: what" when it cannot be opened or
// read, or is a directory (`kind` names what was expected: "an OBJ file").
std::string readFileBytes(const std::string& path, const char* kind);

// The system's explanation of an errno value, without strerror's shared buffer.
std::string systemReason(int error);

}  // namespace kestrin::tool

#endif
