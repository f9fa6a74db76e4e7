// A whole input file in memory, read with plain system calls (no stream, no
// shared state): safe from several threads at once, one buffer each.
#ifndef KESTRIN_FORMATS_FILE_BYTES_H
#define KESTRIN_FORMATS_FILE_BYTES_H

#include <stddef.h>

#include <istream>
#include <memory>
#include <string>
#include <string_view>

namespace kestrin::formats {

// `text` without the UTF-8 byte-order mark some editors put first: every
// text input reads it as nothing.
std::string_view withoutByteOrderMark(std::string_view text);
// Reads past a byte-order mark at the stream's start, if there is one.
void skipByteOrderMark(std::istream& in);

// The bytes of one file at a time. The storage outlives each file: a reader
// going through a shot's poses, all about the same size, allocates (and
// faults in) its buffer once instead of once per pose, and nothing is
// zero-filled only to be overwritten.
class FileBytes {
public:
    // Replaces what is held by the file's bytes. Throws FormatError "PATH: what"
    // when it cannot be opened or read, or is a directory (`kind` names what
    // was expected: "an OBJ file"); what was held is then gone.
    void read(const std::string& path, const char* kind);
    // The same from an open file, from its start (pread: several threads
    // may read one file at once); `path` names it in messages.
    void read(int file, const std::string& path, const char* kind);
    // The file's text; a UTF-8 byte-order mark at its start is not part of it.
    std::string_view text() const { return withoutByteOrderMark({data_.get(), size_}); }

private:
    void reserve(size_t capacity);
    void readFrom(int file, bool atOffsets, const std::string& path, const char* kind);

    std::unique_ptr<char[]> data_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// The system's explanation of an errno value, without strerror's shared buffer.
std::string systemReason(int error);

// A copy of what is left to read in `file` (a pipe, a terminal: an input
// that can be read only once, and not at offsets), in an unnamed file in
// $TMPDIR (else /tmp) that the system removes once it is closed. Returns its
// descriptor, for the caller to close. Throws FormatError naming `path`.
int copyToUnnamedFile(int file, const std::string& path);
// Whether the open file is a regular one, which can be read again.
bool isRegularFile(int file);

}  // namespace kestrin::formats

#endif
