#include "commit.h"

#include <sys/stat.h>
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

void removeAll(const std::vector<std::string>& temporaries) {
    for (const std::string& temporary : temporaries) {
        if (!temporary.empty()) formats::removeTemporary(temporary);
    }
}

// Every temporary is the file this run wrote, still where it wrote it,
// before anything is replaced.
void checkInPlace(const std::vector<StagedFile>& files, const std::vector<std::string>& temporaries) {
    for (const StagedFile& file : files) {
        if (!formats::temporaryInPlace(file.temporary)) {
            removeAll(temporaries);
            throw ToolError(file.path + ": its temporary file " + file.temporary +
                            " was removed or replaced by someone else; no output was replaced");
        }
        if (file.keepMode) chmod(file.temporary.c_str(), file.mode);
    }
}

// Undoes renames [0, done): each replaced file is put back, each new one
// removed. Returns the outputs it could not undo.
std::string rollBack(const std::vector<StagedFile>& files, const std::vector<std::string>& backups, size_t done) {
    std::string stuck;
    for (size_t i = done; i-- > 0;) {
        const bool undone = backups[i].empty() ? ::unlink(files[i].path.c_str()) == 0 || errno == ENOENT
                                               : std::rename(backups[i].c_str(), files[i].path.c_str()) == 0;
        if (undone && !backups[i].empty()) formats::forgetTemporary(backups[i]);
        if (!undone) stuck += (stuck.empty() ? "" : ", ") + files[i].path;
    }
    return stuck;
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

    // The files being replaced stay reachable until every rename is done.
    std::vector<std::string> backups(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        if (!formats::linkTemporary(files[i].path, backups[i]) && errno != ENOENT) {
            // No hard links here: that file cannot be put back if a later
            // rename fails; the renames go ahead as before.
            backups[i].clear();
        }
    }
    for (size_t i = 0; i < files.size(); ++i) {
        if (std::rename(files[i].temporary.c_str(), files[i].path.c_str()) == 0) {
            formats::forgetTemporary(files[i].temporary);
            continue;
        }
        const int error = errno;
        const std::string stuck = rollBack(files, backups, i);
        removeAll({temporaries.begin() + static_cast<long>(i), temporaries.end()});
        removeAll(backups);
        std::string message = files[i].path + ": cannot rename into place: " + std::strerror(error);
        if (stuck.empty()) {
            message += i == 0 ? "; no output was replaced"
                              : "; the " + std::to_string(i) + " outputs already renamed were put back, "
                                "no output was replaced";
        } else {
            message += "; could not put back the earlier outputs " + stuck + ", which are new";
        }
        try {
            syncFolders(files);
        } catch (const formats::FormatError&) {
            // The message above is the one that matters.
        }
        throw ToolError(message);
    }
    removeAll(backups);
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
