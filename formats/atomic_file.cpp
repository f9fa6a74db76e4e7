#include "atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "format_error.h"

namespace kestrin::formats {
namespace {

TemporaryWatcher watcher{nullptr, nullptr};

void registerTemporary(const std::string& temporary) {
    if (watcher.created) watcher.created(temporary);
}

void unregisterTemporary(const std::string& temporary) {
    if (watcher.removed) watcher.removed(temporary);
}

}  // namespace

void watchTemporaries(TemporaryWatcher newWatcher) { watcher = newWatcher; }

std::string temporaryNameFor(const std::string& path) {
    const std::filesystem::path target(path);
    const std::string name = "." + target.filename().string() + ".tmp-" + std::to_string(getpid());
    return (target.parent_path() / name).string();
}

int createTemporary(const std::string& temporary) {
    // Registered first: a signal between the two must not leave it behind.
    registerTemporary(temporary);
    const int file = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (file < 0) {
        const int error = errno;
        unregisterTemporary(temporary);
        errno = error;
    }
    return file;
}

void removeTemporary(const std::string& temporary) {
    std::remove(temporary.c_str());
    unregisterTemporary(temporary);
}

namespace {

[[noreturn]] void failWriting(const std::string& path, const std::string& temporary, int error) {
    removeTemporary(temporary);
    throw FormatError(path + ": cannot write: " + std::strerror(error));
}

}  // namespace

std::string writeTemporaryFor(const std::string& path, const std::string& bytes) {
    const std::string temporary = temporaryNameFor(path);
    const int file = createTemporary(temporary);
    if (file < 0) throw FormatError(path + ": cannot write: " + std::strerror(errno));
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
    // Start writing the bytes out now, on this thread, without waiting for
    // them. Renaming over an existing file makes the file system flush the
    // new one first; left until the run's outputs are committed, that would
    // be all of them at once, on one thread, after the work.
    ::sync_file_range(file, 0, 0, SYNC_FILE_RANGE_WRITE);
    // A full disk or a network file system may only report at close.
    if (::close(file) != 0) failWriting(path, temporary, errno);
    return temporary;
}

void renameIntoPlace(const std::string& temporary, const std::string& path) {
    if (std::rename(temporary.c_str(), path.c_str()) == 0) {
        unregisterTemporary(temporary);
        return;
    }
    const int error = errno;
    removeTemporary(temporary);
    throw FormatError(path + ": cannot rename into place: " + std::strerror(error));
}

void writeFileAtomically(const std::string& path, const std::string& bytes) {
    renameIntoPlace(writeTemporaryFor(path, bytes), path);
}

}  // namespace kestrin::formats
