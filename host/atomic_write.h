// Files that appear whole or not at all: the bytes go to a temporary name in
// the same directory, which is renamed over the final name once complete.
// Used for the settings files the simulator saves and for every file the
// kestrin tool writes.
#ifndef KESTRIN_HOST_ATOMIC_WRITE_H
#define KESTRIN_HOST_ATOMIC_WRITE_H

#include <string>

namespace kestrin::host {

// The temporary name used for `path`: ".NAME.tmp-PID" beside it, so that two
// processes writing the same file do not share one.
std::string temporaryNameFor(const std::string& path);

// Writes `bytes` to the temporary name of `path` and returns that name. On
// failure (no directory, disk full, a failed close) removes it, sets *reason
// to "cannot write: " and the system's explanation, and returns "".
std::string writeTemporaryFor(const std::string& path, const std::string& bytes,
                              std::string* reason);

// Renames a file written by writeTemporaryFor over `path`. On failure
// removes the temporary file, sets *reason to "cannot rename into place: "
// and the system's explanation, and returns false.
bool renameIntoPlace(const std::string& temporary, const std::string& path, std::string* reason);

// Both steps; false with *reason set as above.
bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string* reason);

}  // namespace kestrin::host

#endif
