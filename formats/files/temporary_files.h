// Temporary files beside outputs, owned provably by the run that made them.
//
// A run keeps one lock file per output folder (".kestrin-run-TAG", TAG random)
// and holds an open-file-description write lock on it for as long as any of
// its temporaries there may exist. Its temporaries are named
// ".NAME.tmp-TAG-RAND": created exclusively (never through a link) under a
// name nobody can guess in advance. A run removes another run's temporaries
// only after taking that run's lock itself, which the file system grants only
// once the owner is gone, whatever machine or PID namespace it ran in.
//
// Every temporary and lock file of the process is kept in a list the signal
// handler can walk (removeTemporariesNow), with no limit on their number.
#ifndef KESTRIN_FORMATS_TEMPORARY_FILES_H
#define KESTRIN_FORMATS_TEMPORARY_FILES_H

#include <stddef.h>

#include <string>
#include <vector>

namespace kestrin::formats {

// How many bytes a temporary's file name adds to its output's name: a
// planner checks NAME + this against the folder's name limit.
constexpr size_t temporaryNameExtra = 23;

// Creates a new temporary file beside `path` (O_RDWR) and sets
// `temporary` to its name; returns the open descriptor, the caller's to
// close. Everything done to the file from then on goes through that
// descriptor, never its name, which anyone able to write the folder could
// swap. It has, from the start, the permissions it will keep: the umask's
// for a new output; those of the file at `path` when it replaces one, with
// that file's owner and group where the process may give them (root, or a
// group of the owner's). Throws FormatError "PATH: cannot write: reason".
int createTemporary(const std::string& path, std::string& temporary);

// Keeps the file at `existing` aside under a new temporary name beside it
// (a hard link), to be put back or removed; false with errno set when the
// file is missing or the file system cannot link.
bool linkTemporary(const std::string& existing, std::string& temporary);

// Unlinks a temporary of this process and forgets it.
void removeTemporary(const std::string& temporary);
// The same for many at once (empty names are skipped), on several threads:
// removing the last name of a file frees its blocks, which waits on the
// file system (its journal; a discard on an SSD mounted with it), not on the
// processor, and thousands of replaced outputs, one after another, took
// longer than writing them.
void removeTemporaries(const std::vector<std::string>& temporaries);
// Forgets a temporary that was renamed into place.
void forgetTemporary(const std::string& temporary);
// Whether the file at `temporary` is still the one this process created
// (same device and inode, not replaced or removed by anyone).
bool temporaryInPlace(const std::string& temporary);

// Removes the temporaries and lock files of runs that are gone from
// `folder`: one listing; a live run's files, here or on any other machine,
// are left alone.
void removeStaleTemporaries(const std::string& folder);

// Flushes a folder's entries (the renames into it) to storage; throws
// FormatError naming the folder.
void syncFolder(const std::string& folder);
// The folder of `path`, "." for a bare name.
std::string folderOf(const std::string& path);

// Unlinks every temporary and lock file this process has, those being
// created at that moment by other threads included; no more are created
// after it. Only async-signal-safe calls: for a signal handler that then
// ends the process.
void removeTemporariesNow();

}  // namespace kestrin::formats

#endif
