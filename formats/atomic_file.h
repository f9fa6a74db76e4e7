// Output files appear whole or not at all: the bytes go to a temporary name in
// the same directory, which is renamed over the final name once complete.
#ifndef KESTRIN_FORMATS_ATOMIC_FILE_H
#define KESTRIN_FORMATS_ATOMIC_FILE_H

#include <string>

namespace kestrin::formats {

// Who must know of every temporary file while it exists: the tool's
// interrupt handler, which removes them on Ctrl-C. `created` is called
// before the file is made, `removed` once it is gone or renamed into place.
// Set once, before any file is written; without it nobody is told.
struct TemporaryWatcher {
    void (*created)(const std::string& temporary);
    void (*removed)(const std::string& temporary);
};
void watchTemporaries(TemporaryWatcher watcher);

// The temporary name used for `path`: ".NAME.tmp-PID" beside it, so that two
// processes writing the same file do not share one.
std::string temporaryNameFor(const std::string& path);

// Creates the temporary file (O_WRONLY, 0644) and registers it for removal
// on an interrupt; -1 with errno set when it cannot.
int createTemporary(const std::string& temporary);
// Removes a temporary file and its registration.
void removeTemporary(const std::string& temporary);

// Writes `bytes` to `path` through a temporary file and a rename. Throws
// FormatError naming the path when the directory is missing, the disk is full
// or the rename fails; the temporary file is removed on every failure.
void writeFileAtomically(const std::string& path, const std::string& bytes);

// Writes `bytes` to the temporary name of `path` and returns that name, for a
// caller that renames several files into place together (renameIntoPlace).
// Throws FormatError as above; nothing is left behind on failure.
std::string writeTemporaryFor(const std::string& path, const std::string& bytes);

// Renames a file written by writeTemporaryFor over `path`; throws FormatError
// and removes the temporary file when the rename fails.
void renameIntoPlace(const std::string& temporary, const std::string& path);

}  // namespace kestrin::formats

#endif
