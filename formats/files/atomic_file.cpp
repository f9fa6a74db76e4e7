#include "files/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "files/file_bytes.h"
#include "files/format_error.h"

namespace kestrin::formats {
namespace {

[[noreturn]] void failWriting(const std::string& path, const std::string& temporary, int error) {
    removeTemporary(temporary);
    throw FormatError(path + ": cannot write: " + systemReason(error));
}

}  // namespace

void finishTemporary(int file, const std::string& temporary, const std::string& path) {
    // Flushed before the rename, on the thread that wrote it, so that the
    // run's outputs go to storage in parallel, and a crash after the run
    // cannot leave an empty or partial file under the final name.
    if (::fdatasync(file) != 0 && errno != EINVAL) {
        const int error = errno;
        ::close(file);
        failWriting(path, temporary, error);
    }
    // A full disk or a network file system may only report at close.
    if (::close(file) != 0) failWriting(path, temporary, errno);
}

std::string writeTemporaryFor(const std::string& path, const std::string& bytes) {
    std::string temporary;
    const int file = createTemporary(path, temporary);
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(file, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) {
            const int error = count < 0 ? errno : EIO;
            ::close(file);
            failWriting(path, temporary, error);
        }
        written += static_cast<size_t>(count);
    }
    finishTemporary(file, temporary, path);
    return temporary;
}

void renameIntoPlace(const std::string& temporary, const std::string& path) {
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        removeTemporary(temporary);
        throw FormatError(path + ": cannot rename into place: " + systemReason(error));
    }
    forgetTemporary(temporary);
    syncFolder(folderOf(path));
}

void writeFileAtomically(const std::string& path, const std::string& bytes) {
    renameIntoPlace(writeTemporaryFor(path, bytes), path);
}

}  // namespace kestrin::formats
