#include "files/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "files/format_error.h"

namespace kestrin::formats {

std::string systemReason(int error) { return std::generic_category().message(error); }

void FileBytes::reserve(size_t capacity) {
    if (capacity <= capacity_) return;
    std::unique_ptr<char[]> grown(new char[capacity]);
    if (size_ > 0) std::memcpy(grown.get(), data_.get(), size_);
    data_ = std::move(grown);
    capacity_ = capacity;
}

void FileBytes::read(const std::string& path, const char* kind) {
    size_ = 0;
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) throw FormatError(path + ": cannot open: " + systemReason(errno));
    try {
        readFrom(file, false, path, kind);
    } catch (...) {
        ::close(file);
        throw;
    }
    ::close(file);
}

void FileBytes::read(int file, const std::string& path, const char* kind) {
    size_ = 0;
    readFrom(file, true, path, kind);
}

void FileBytes::readFrom(int file, bool atOffsets, const std::string& path, const char* kind) {
    auto fail = [&](const std::string& what) { throw FormatError(path + ": " + what); };
    struct stat status {};
    if (::fstat(file, &status) != 0) fail("cannot read: " + systemReason(errno));
    if (S_ISDIR(status.st_mode)) fail(std::string("is a directory, not ") + kind);
    // The size is a hint only (a pipe or a /proc file reports 0, a file may
    // grow): reading goes on to the end, the buffer doubling past the hint.
    // One byte more than the hint, so that the read that finds the end
    // needs no room of its own.
    reserve(status.st_size > 0 ? static_cast<size_t>(status.st_size) + 1 : 4096);
    while (true) {
        if (size_ == capacity_) reserve(2 * capacity_);
        const ssize_t got = atOffsets ? ::pread(file, data_.get() + size_, capacity_ - size_, static_cast<off_t>(size_))
                                      : ::read(file, data_.get() + size_, capacity_ - size_);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int error = errno;
            size_ = 0;
            fail("read error: " + systemReason(error));
        }
        if (got == 0) break;
        size_ += static_cast<size_t>(got);
    }
}

bool isRegularFile(int file) {
    struct stat status {};
    return ::fstat(file, &status) == 0 && S_ISREG(status.st_mode);
}

int copyToUnnamedFile(int file, const std::string& path) {
    const char* variable = std::getenv("TMPDIR");
    const std::string folder = variable != nullptr && *variable != '\0' ? variable : "/tmp";
    auto fail = [&](int error) {
        throw FormatError(path + ": cannot keep a copy of it in " + folder + " (it can be read only once): " +
                          systemReason(error));
    };
    int copy = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (copy < 0) {
        // A file system without unnamed files: a named one, removed at once.
        std::string name = folder + "/.kestrin-input-XXXXXX";
        copy = ::mkostemp(name.data(), O_CLOEXEC);
        if (copy < 0) fail(errno);
        ::unlink(name.c_str());
    }
    char buffer[1 << 16];
    while (true) {
        ssize_t got = ::read(file, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int error = errno;
            ::close(copy);
            throw FormatError(path + ": read error: " + systemReason(error));
        }
        if (got == 0) break;
        for (const char* at = buffer; got > 0;) {
            const ssize_t put = ::write(copy, at, static_cast<size_t>(got));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) {
                const int error = put < 0 ? errno : ENOSPC;
                ::close(copy);
                fail(error);
            }
            at += put;
            got -= put;
        }
    }
    return copy;
}

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

std::string_view withoutByteOrderMark(std::string_view text) {
    if (text.substr(0, byteOrderMark.size()) == byteOrderMark) text.remove_prefix(byteOrderMark.size());
    return text;
}

void skipByteOrderMark(std::istream& in) {
    char start[3] = {};
    in.read(start, sizeof start);
    const bool mark = in.gcount() == 3 && std::string_view(start, 3) == byteOrderMark;
    in.clear();
    if (!mark) in.seekg(0);
}

}  // namespace kestrin::formats
