#include "formats/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "tool_error.h"

namespace kestrin::tool {

std::string systemReason(int error) { return std::generic_category().message(error); }

std::string readFileBytes(const std::string& path, const char* kind) {
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) throw ToolError(path + ": cannot open: " + systemReason(errno));
    struct stat status {};
    if (::fstat(file, &status) != 0) {
        const int error = errno;
        ::close(file);
        throw ToolError(path + ": cannot read: " + systemReason(error));
    }
    if (S_ISDIR(status.st_mode)) {
        ::close(file);
        throw ToolError(path + ": is a directory, not " + kind);
    }
    // The size is a hint only (a pipe or a /proc file reports 0, a file may
    // grow): reading goes on to the end, past the hint in small steps.
    std::string bytes(status.st_size > 0 ? static_cast<size_t>(status.st_size) : 0, '\0');
    size_t filled = 0;
    char more[4096];
    while (true) {
        const bool past = filled == bytes.size();
        char* into = past ? more : &bytes[filled];
        const size_t room = past ? sizeof more : bytes.size() - filled;
        const ssize_t got = ::read(file, into, room);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int error = errno;
            ::close(file);
            throw ToolError(path + ": read error: " + systemReason(error));
        }
        if (got == 0) break;
        if (past) bytes.append(more, static_cast<size_t>(got));
        filled += static_cast<size_t>(got);
    }
    ::close(file);
    bytes.resize(filled);
    return bytes;
}

}  // namespace kestrin::tool
