#include "commit.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include "files/format_error.h"
#include "interrupt.h"
#include "files/temporary_files.h"
#include "tool_error.h"

namespace kestrin::tool {
namespace {

// One output's move into place.
struct Move {
    const StagedFile* file;
    bool replaces = false;  // a file was at its path
    std::string backup;     // that file, kept aside under a temporary name; empty when it could not be
};


std::string listed(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
    return list;
}

// Every temporary is the file this run wrote, still where it wrote it,
// before anything is replaced.
void checkInPlace(const std::vector<StagedFile>& files, const std::vector<std::string>& temporaries) {
    for (const StagedFile& file : files) {
        if (!formats::temporaryInPlace(file.temporary)) {
            formats::removeTemporaries(temporaries);
            throw ToolError(file.path + ": its temporary file " + file.temporary +
                            " was removed or replaced by someone else; no output was replaced");
        }
    }
}

// Keeps each file an output replaces aside (a hard link) until every rename
// is done, and orders the moves. A file system without hard links (SMB,
// FAT: EPERM), or one out of room for the link (ENOSPC), cannot keep it: such
// outputs are moved last, so that a rename failing before them can still be
// undone whole, and the run says so first.
std::vector<Move> keepReplacedFiles(const std::vector<StagedFile>& files) {
    std::vector<Move> kept;
    std::vector<Move> unkept;
    int reason = 0;
    for (const StagedFile& file : files) {
        Move move{&file, false, {}};
        if (formats::linkTemporary(file.path, move.backup)) {
            move.replaces = true;
        } else if (errno != ENOENT) {
            move.replaces = true;
            if (reason == 0) reason = errno;
            unkept.push_back(move);
            continue;
        }
        kept.push_back(move);
    }
    if (!unkept.empty()) {
        const std::string more =
            unkept.size() > 1 ? " and " + std::to_string(unkept.size() - 1) + " more outputs" : "";
        std::fprintf(stderr,
                     "kestrin: note: %s%s replace files that cannot be kept aside here (a hard link: %s); "
                     "they are put in place last, and if a rename fails, those already put in place stay "
                     "new\n",
                     unkept.front().file->path.c_str(), more.c_str(), std::strerror(reason));
    }
    kept.insert(kept.end(), unkept.begin(), unkept.end());
    return kept;
}

// Undoes moves [0, done): each replaced file kept aside is put back, each
// new output removed. An output whose replaced file was not kept stays:
// removing it would destroy the user's file. Sets `unkept` and `stuck` to
// the outputs left new.
void rollBack(std::vector<Move>& moves, size_t done, std::vector<std::string>& unkept,
              std::vector<std::string>& stuck) {
    for (size_t i = done; i-- > 0;) {
        Move& move = moves[i];
        const std::string& path = move.file->path;
        if (move.replaces && move.backup.empty()) {
            unkept.insert(unkept.begin(), path);
        } else if (!move.replaces) {
            if (::unlink(path.c_str()) != 0 && errno != ENOENT) stuck.insert(stuck.begin(), path);
        } else if (std::rename(move.backup.c_str(), path.c_str()) == 0) {
            formats::forgetTemporary(move.backup);
            move.backup.clear();
        } else {
            stuck.insert(stuck.begin(), path);
        }
    }
}

void syncFolders(const std::vector<StagedFile>& files) {
    std::set<std::string> folders;
    for (const StagedFile& file : files) folders.insert(formats::folderOf(file.path));
    for (const std::string& folder : folders) formats::syncFolder(folder);
}

}  // namespace

void commitOutputs(const std::vector<StagedFile>& files) {
    InterruptsHeld held;
    std::vector<std::string> temporaries;
    for (const StagedFile& file : files) temporaries.push_back(file.temporary);
    checkInPlace(files, temporaries);

    std::vector<Move> moves = keepReplacedFiles(files);
    auto removeBackups = [&moves] {
        std::vector<std::string> backups;
        for (const Move& move : moves) backups.push_back(move.backup);
        formats::removeTemporaries(backups);
    };
    for (size_t i = 0; i < moves.size(); ++i) {
        const StagedFile& file = *moves[i].file;
        if (std::rename(file.temporary.c_str(), file.path.c_str()) == 0) {
            formats::forgetTemporary(file.temporary);
            continue;
        }
        const int error = errno;
        std::vector<std::string> unkept;
        std::vector<std::string> stuck;
        rollBack(moves, i, unkept, stuck);
        std::vector<std::string> unrenamed;
        for (size_t j = i; j < moves.size(); ++j) unrenamed.push_back(moves[j].file->temporary);
        formats::removeTemporaries(unrenamed);
        removeBackups();
        std::string message = file.path + ": cannot rename into place: " + std::strerror(error);
        if (unkept.empty() && stuck.empty()) {
            message += i == 0 ? "; no output was replaced"
                              : "; the " + std::to_string(i) + " outputs already renamed were put back, "
                                "no output was replaced";
        } else {
            message += "; these outputs are new: ";
            if (!unkept.empty()) message += listed(unkept) + " (the files they replaced could not be kept aside)";
            if (!stuck.empty()) message += (unkept.empty() ? "" : ", ") + listed(stuck) + " (could not be put back)";
            message += "; every other output is as it was";
        }
        try {
            syncFolders(files);
        } catch (const formats::FormatError&) {
            // The message above is the one that matters.
        }
        throw ToolError(message);
    }
    removeBackups();
    try {
        syncFolders(files);
    } catch (const formats::FormatError& error) {
        throw ToolError(std::string(error.what()) + " (every output was replaced)");
    }
    if (held.completed()) {
        std::fputs("kestrin: interrupted while the outputs were put in place; they were all replaced first\n",
                   stderr);
    }
}

}  // namespace kestrin::tool
