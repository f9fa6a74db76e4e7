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

// A write that failed, with its errno: not a FormatError, which a writer's
// caller may take for a fault in the data and reword.
struct WriteFailed {
    int error;
};

// Writes through to an open temporary. Every `kickEvery` bytes it asks the
// system to start writing what came before to storage, without waiting:
// otherwise nothing goes to the disk before the flush (the system holds
// dirty pages for half a minute), and the flush waits for the whole file.
class FileSink : public ByteSink {
public:
    explicit FileSink(int file) : file_(file) {}

private:
    static constexpr off_t kickEvery = 8 << 20;

    void deliver(std::string_view bytes) override {
        while (!bytes.empty()) {
            const ssize_t count = ::write(file_, bytes.data(), bytes.size());
            if (count < 0 && errno == EINTR) continue;
            if (count <= 0) throw WriteFailed{count < 0 ? errno : EIO};
            bytes.remove_prefix(static_cast<size_t>(count));
            written_ += count;
        }
        if (written_ - kicked_ >= kickEvery) {
            // Only a hint: a file system without it loses nothing.
            ::sync_file_range(file_, kicked_, written_ - kicked_, SYNC_FILE_RANGE_WRITE);
            kicked_ = written_;
        }
    }

    int file_;
    off_t written_ = 0;
    off_t kicked_ = 0;
};

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

std::string writeTemporaryWith(const std::string& path, const std::function<void(ByteSink&)>& write) {
    std::string temporary;
    const int file = createTemporary(path, temporary);
    try {
        FileSink sink(file);
        write(sink);
        sink.flush();
    } catch (const WriteFailed& failed) {
        ::close(file);
        failWriting(path, temporary, failed.error);
    } catch (...) {
        ::close(file);
        removeTemporary(temporary);
        throw;
    }
    finishTemporary(file, temporary, path);
    return temporary;
}

std::string writeTemporaryFor(const std::string& path, const std::string& bytes) {
    return writeTemporaryWith(path, [&bytes](ByteSink& sink) { sink.append(bytes); });
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
