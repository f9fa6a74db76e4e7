#include "atomic_file.h"

#include "atomic_write.h"
#include "tool_error.h"

namespace kestrin::tool {

std::string writeTemporaryFor(const std::string& path, const std::string& bytes) {
    std::string reason;
    const std::string temporary = host::writeTemporaryFor(path, bytes, &reason);
    if (temporary.empty()) throw ToolError(path + ": " + reason);
    return temporary;
}

void renameIntoPlace(const std::string& temporary, const std::string& path) {
    std::string reason;
    if (!host::renameIntoPlace(temporary, path, &reason)) throw ToolError(path + ": " + reason);
}

void writeFileAtomically(const std::string& path, const std::string& bytes) {
    renameIntoPlace(writeTemporaryFor(path, bytes), path);
}

}  // namespace kestrin::tool
