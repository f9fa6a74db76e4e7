#include "atomic_write.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace kestrin::host {

std::string temporaryNameFor(const std::string& path) {
    const std::filesystem::path target(path);
    const std::string name = "." + target.filename().string() + ".tmp-" + std::to_string(getpid());
    return (target.parent_path() / name).string();
}

std::string writeTemporaryFor(const std::string& path, const std::string& bytes,
                              std::string* reason) {
    const std::string temporary = temporaryNameFor(path);
    auto fail = [&](int error) {
        std::remove(temporary.c_str());
        if (reason != nullptr) *reason = std::string("cannot write: ") + std::strerror(error);
        return std::string();
    };
    const int file = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (file < 0) {
        const int error = errno;
        if (reason != nullptr) *reason = std::string("cannot write: ") + std::strerror(error);
        return std::string();
    }
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(file, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) {
            const int error = count < 0 ? errno : EIO;
            ::close(file);
            return fail(error);
        }
        written += static_cast<size_t>(count);
    }
    // A full disk or a network file system may only report at close.
    if (::close(file) != 0) return fail(errno);
    return temporary;
}

bool renameIntoPlace(const std::string& temporary, const std::string& path, std::string* reason) {
    if (std::rename(temporary.c_str(), path.c_str()) == 0) return true;
    const int error = errno;
    std::remove(temporary.c_str());
    if (reason != nullptr) *reason = std::string("cannot rename into place: ") + std::strerror(error);
    return false;
}

bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string* reason) {
    const std::string temporary = writeTemporaryFor(path, bytes, reason);
    return !temporary.empty() && renameIntoPlace(temporary, path, reason);
}

}  // namespace kestrin::host
