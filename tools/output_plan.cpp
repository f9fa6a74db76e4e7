#include "output_plan.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

#include "files/temporary_files.h"
#include "tool_error.h"

namespace kestrin::tool {
namespace {

namespace fs = std::filesystem;

struct FileId {
    dev_t device;
    ino_t inode;
    bool operator<(const FileId& other) const {
        return device != other.device ? device < other.device : inode < other.inode;
    }
};

using formats::folderOf;

// Whether a run may write where a link owned by `owner` points: the link is
// the run's own or root's, or its owner owns the file it names. Anything
// else, in a folder others can write (farm storage), is a link planted to
// make the run (perhaps as root) replace or create a file its owner could
// not touch.
bool mayFollow(uid_t owner, const std::string& target) {
    if (owner == geteuid() || owner == 0) return true;
    struct stat info {};
    return stat(target.c_str(), &info) == 0 && info.st_uid == owner;
}

// The file a name writes to: a symbolic link is followed to its target
// (which need not exist yet), so that the link stays a link.
std::string resolveLinks(const std::string& name) {
    std::string path = name;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        char target[PATH_MAX];
        const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
        if (length < 0) return path;
        target[length] = '\0';
        const fs::path next(target);
        path = next.is_absolute() ? next.string() : (fs::path(folderOf(path)) / next).string();
        if (!mayFollow(info.st_uid, path)) {
            throw ToolError(name + ": is a symbolic link of another user (uid " + std::to_string(info.st_uid) +
                            ") to a file that is not theirs; not followed: remove it or write elsewhere");
        }
    }
    throw ToolError(name + ": too many levels of symbolic links");
}

// What is checked once per output folder, however many outputs it takes: a
// shot writes thousands of files into one.
struct FolderCheck {
    std::string realPath;  // for telling apart outputs that do not exist yet
    long nameLimit = NAME_MAX;
};

const FolderCheck& checkFolder(std::map<std::string, FolderCheck>& checked, const std::string& name,
                               const std::string& folder) {
    auto found = checked.find(folder);
    if (found != checked.end()) return found->second;
    struct stat folderInfo {};
    if (stat(folder.c_str(), &folderInfo) != 0 || !S_ISDIR(folderInfo.st_mode)) {
        throw ToolError(name + ": cannot write: no folder " + folder);
    }
    // Write-protected by its mode, as files are judged below, also for root.
    if ((folderInfo.st_mode & 0222) == 0) throw ToolError(name + ": the folder " + folder + " is read-only");
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
        throw ToolError(name + ": cannot write into " + folder + ": " + std::strerror(errno));
    }
    FolderCheck check;
    char real[PATH_MAX];
    check.realPath = realpath(folder.c_str(), real) != nullptr ? real : folder;
    const long limit = pathconf(folder.c_str(), _PC_NAME_MAX);
    if (limit > 0) check.nameLimit = limit;
    // Temporaries that runs no longer alive left beside the outputs.
    formats::removeStaleTemporaries(folder);
    return checked[folder] = check;
}

}  // namespace

void requireReadable(const std::vector<RunInput>& inputs) {
    for (const RunInput& input : inputs) {
        struct stat info {};
        if (stat(input.path.c_str(), &info) != 0) {
            throw ToolError(input.path + ": cannot read the " + input.role + ": " + std::strerror(errno));
        }
        if (S_ISDIR(info.st_mode)) throw ToolError(input.path + ": the " + input.role + " is a folder, not a file");
        if (access(input.path.c_str(), R_OK) != 0) {
            throw ToolError(input.path + ": cannot read the " + input.role + ": " + std::strerror(errno));
        }
    }
}

std::vector<OutputTarget> planOutputs(const std::vector<std::string>& names,
                                      const std::vector<RunInput>& inputs) {
    std::map<FileId, const RunInput*> inputFiles;
    for (const RunInput& input : inputs) {
        struct stat info {};
        if (stat(input.path.c_str(), &info) == 0) inputFiles[{info.st_dev, info.st_ino}] = &input;
    }
    std::map<FileId, std::string> existingOutputs;
    std::map<std::string, std::string> newOutputs;
    std::map<std::string, FolderCheck> folders;
    std::vector<OutputTarget> targets;
    for (const std::string& name : names) {
        OutputTarget target;
        target.name = name;
        target.path = resolveLinks(name);
        const FolderCheck& folder = checkFolder(folders, name, folderOf(target.path));
        const std::string fileName = fs::path(target.path).filename().string();
        if (fileName.size() + formats::temporaryNameExtra > static_cast<size_t>(folder.nameLimit)) {
            throw ToolError(name + ": the file name is too long (" + std::to_string(fileName.size()) +
                            " bytes; at most " +
                            std::to_string(folder.nameLimit - static_cast<long>(formats::temporaryNameExtra)) +
                            " here, to leave room for its temporary file's name)");
        }
        struct stat info {};
        if (stat(target.path.c_str(), &info) == 0) {
            if (!S_ISREG(info.st_mode)) throw ToolError(name + ": exists and is not a regular file");
            const FileId id{info.st_dev, info.st_ino};
            if (auto input = inputFiles.find(id); input != inputFiles.end()) {
                throw ToolError(name + ": is the " + input->second->role + " " + input->second->path +
                                "; the output would replace it");
            }
            if (auto other = existingOutputs.find(id); other != existingOutputs.end()) {
                throw ToolError(name + ": is the same file as the output " + other->second);
            }
            // Write-protected by its mode, as rm and editors judge it, also
            // for root, who could write it regardless.
            if ((info.st_mode & 0222) == 0 || access(target.path.c_str(), W_OK) != 0) {
                throw ToolError(name + ": is read-only; it is not replaced");
            }
            existingOutputs[id] = name;
        } else {
            const std::string identity = folder.realPath + "/" + fileName;
            if (auto other = newOutputs.find(identity); other != newOutputs.end()) {
                throw ToolError(name + ": is the same file as the output " + other->second);
            }
            newOutputs[identity] = name;
        }
        targets.push_back(std::move(target));
    }
    return targets;
}

}  // namespace kestrin::tool
