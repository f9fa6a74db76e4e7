// Output files appear whole or not at all: the bytes go to a temporary file
// in the same folder (temporary_files.h), flushed to storage, which is
// renamed over the final name once complete.
#ifndef KESTRIN_FORMATS_ATOMIC_FILE_H
#define KESTRIN_FORMATS_ATOMIC_FILE_H

#include <functional>
#include <string>

#include "files/byte_sink.h"
#include "files/temporary_files.h"

namespace kestrin::formats {

// Writes `bytes` to `path` through a temporary file and a rename. Throws
// FormatError naming the path when the directory is missing, the disk is full
// or the rename fails; the temporary file is removed on every failure.
void writeFileAtomically(const std::string& path, const std::string& bytes);

// Writes `bytes` to a new temporary file beside `path`, flushed to storage on
// this thread, and returns its name, for a caller that renames several files
// into place together. Throws FormatError as above; nothing is left behind
// on failure.
std::string writeTemporaryFor(const std::string& path, const std::string& bytes);

// The same for a writer that makes its bytes in pieces: `write` puts them
// into the sink it is given, which writes them to the temporary as they come
// and has the system start putting them on storage as it goes, so that the
// flush at the end has little left to wait for. An exception from `write`
// removes the temporary and reaches the caller as it was.
std::string writeTemporaryWith(const std::string& path, const std::function<void(ByteSink&)>& write);

// Flushes a finished temporary's data to storage and closes it: what every
// writer does before its file may be renamed into place. Throws FormatError
// naming `path` and removes the temporary when either fails.
void finishTemporary(int file, const std::string& temporary, const std::string& path);

// Renames a file written by writeTemporaryFor over `path` and flushes the
// folder; throws FormatError and removes the temporary file when the rename
// fails.
void renameIntoPlace(const std::string& temporary, const std::string& path);

}  // namespace kestrin::formats

#endif
