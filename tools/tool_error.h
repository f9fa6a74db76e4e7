// The one kind of failure the tool reports to its user: a message that names
// the file (and line) at fault. Commands throw it; main prints it and exits 1.
#ifndef KESTRIN_TOOL_ERROR_H
#define KESTRIN_TOOL_ERROR_H

#include <stdexcept>
#include <string>

namespace kestrin::tool {

class ToolError : public std::runtime_error {
public:
    explicit ToolError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace kestrin::tool

#endif
