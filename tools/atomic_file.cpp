#include "atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "tool_error.h"

namespace kestrin::tool {

std::string temporaryNameFor(const std::string& path) {
    const std::filesystem::path target(path);
    const std::string name = "." + target.filename().string() + ".tmp-" + std::to_string(getpid());
    return (target.parent_path() / name).string();
}

std::string writeTemporaryFor(const std::string& path, const std::string& bytes) {
    const std::string temporary = temporaryNameFor(path);
    auto fail = [&](const std::string& what, int error) {
        std::remove(temporary.c_str());
        throw ToolError(path + ": " + what + ": " + std::strerror(error));
    };
    const int file = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (file < 0) {
        const int error = errno;
        throw ToolError(path + ": cannot write: " + std::strerror(error));
    }
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(file, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) {
            const int error = count < 0 ? errno : EIO;
            ::close(file);
            fail("cannot write", error);
        }
        written += static_cast<size_t>(count);
    }
    if (::close(file) != 0) fail("cannot write", errno);
    return temporary;
}

void renameIntoPlace(const std::string& temporary, const std::string& path) {
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        std::remove(temporary.c_str());
        throw ToolError(path + ": cannot rename into place: " + std::strerror(error));
    }
}

void writeFileAtomically(const std::string& path, const std::string& bytes) {
    renameIntoPlace(writeTemporaryFor(path, bytes), path);
}

}  // namespace kestrin::tool
