#include "files/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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
    auto fail = [&](const std::string& what) {
        ::close(file);
        throw FormatError(path + ": " + what);
    };
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
        const ssize_t got = ::read(file, data_.get() + size_, capacity_ - size_);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int error = errno;
            size_ = 0;
            fail("read error: " + systemReason(error));
        }
        if (got == 0) break;
        size_ += static_cast<size_t>(got);
    }
    ::close(file);
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
