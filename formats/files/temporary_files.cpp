#include "files/temporary_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <algorithm>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "files/file_bytes.h"
#include "files/format_error.h"

namespace kestrin::formats {
namespace {

constexpr char lockPrefix[] = ".kestrin-run-";
constexpr char temporaryMark[] = ".tmp-";
constexpr size_t tagLength = 8;
static_assert(temporaryNameExtra == 1 + sizeof temporaryMark - 1 + tagLength + 1 + tagLength,
              "\".NAME.tmp-TAG-RAND\"");

// One file the process may have to remove from a signal handler. Nodes are
// pushed onto a list that only grows and are never freed or reused, so the
// handler can walk it at any moment from any thread without a lock; a node
// whose file is gone is only marked so. A run pays about a hundred bytes
// for each temporary it ever made.
struct Node {
    const char* name;  // a copy of its own, never changed
    dev_t device = 0;
    ino_t inode = 0;
    std::atomic<bool> live{true};
    Node* next = nullptr;
};
std::atomic<Node*> head{nullptr};

// A handler walking the list while another thread creates a file would miss
// that file, and the process would end leaving it. So every file is created
// inside a section the handler waits out (removeTemporariesNow), with the
// creating thread's signals blocked, so that the handler never waits on the
// thread it interrupted.
std::atomic<bool> stopping{false};
std::atomic<int> creating{0};

class CreateSection {
public:
    CreateSection() {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &saved_);
        // Sequentially consistent with the handler's store to stopping and
        // load of creating: either it sees this section, or this sees it.
        creating.fetch_add(1);
        if (stopping.load()) {
            // The process is ending in a handler on another thread: nothing
            // more is made, and this thread waits for the end.
            creating.fetch_sub(1);
            for (;;) pause();
        }
    }
    ~CreateSection() {
        creating.fetch_sub(1);
        pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
    }
    CreateSection(const CreateSection&) = delete;
    CreateSection& operator=(const CreateSection&) = delete;

private:
    sigset_t saved_;
};

// Unlinks every file on the list. Only async-signal-safe calls.
void unlinkListed() {
    // Newest first: a folder's temporaries go before its lock file.
    for (Node* node = head.load(std::memory_order_acquire); node != nullptr; node = node->next) {
        if (node->live.load(std::memory_order_acquire)) ::unlink(node->name);
    }
}

// The run's lock in one folder, kept while the process has temporaries
// there.
struct RunLock {
    int file = -1;
    std::string tag;
    std::string path;
    size_t temporaries = 0;
};

struct Entry {
    Node* node;
    std::string folder;  // a temporary's; empty for a lock file
};

struct Registry {
    std::mutex mutex;
    std::unordered_map<std::string, Entry> byName;
    std::unordered_map<std::string, RunLock> locks;  // by folder as written
};
Registry& registry() {
    // Never destroyed: a thread may still create or remove a temporary while
    // the process exits.
    static Registry* instance = new Registry;
    return *instance;
}

// Caller holds the registry's lock. `folder`: the folder whose run lock
// covers the file, empty for a lock file itself.
Node* remember(const std::string& name, const std::string& folder = {}) {
    Node* node = new Node;
    node->name = strdup(name.c_str());
    node->next = head.load(std::memory_order_relaxed);
    head.store(node, std::memory_order_release);
    registry().byName[name] = Entry{node, folder};
    if (!folder.empty()) ++registry().locks[folder].temporaries;
    return node;
}

// Caller holds the registry's lock. A folder's lock file goes with the last
// of the process's temporaries there: a long-lived process (the Python
// module) leaves no lock files behind between writes.
void forget(const std::string& name) {
    auto found = registry().byName.find(name);
    if (found == registry().byName.end()) return;
    found->second.node->live.store(false, std::memory_order_release);
    const std::string folder = found->second.folder;
    registry().byName.erase(found);
    if (folder.empty()) return;
    auto lock = registry().locks.find(folder);
    if (lock == registry().locks.end() || --lock->second.temporaries > 0) return;
    // Unlinked while still locked, so that no other run can take it for a
    // dead run's first.
    const std::string lockPath = lock->second.path;
    const int file = lock->second.file;
    registry().locks.erase(lock);
    ::unlink(lockPath.c_str());
    ::close(file);
    forget(lockPath);
}

std::string randomTag() {
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char bytes[tagLength];
    size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t count = getrandom(bytes + got, sizeof bytes - got, 0);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) throw FormatError(std::string("cannot name a temporary file: ") + systemReason(errno));
        got += static_cast<size_t>(count);
    }
    std::string tag(tagLength, ' ');
    for (size_t i = 0; i < tagLength; ++i) tag[i] = letters[bytes[i] % (sizeof letters - 1)];
    return tag;
}

// Takes a write lock on the whole file that lasts as long as this open file
// description, whichever thread or process holds it. False when another
// holds it, or when the file system offers no such locks (then nobody can
// prove the owner gone, and its files are kept).
bool takeLock(int file) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return fcntl(file, F_OFD_SETLK, &lock) == 0;
}

std::string joined(const std::string& folder, const std::string& name) { return folder + "/" + name; }

// The run's lock file in `folder`, made on first use. Caller holds the
// registry's lock.
const RunLock& runLock(const std::string& folder) {
    auto found = registry().locks.find(folder);
    if (found != registry().locks.end()) return found->second;
    for (;;) {
        const std::string tag = randomTag();
        const std::string path = joined(folder, lockPrefix + tag);
        Node* node = remember(path);
        int file;
        {
            CreateSection section;
            file = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        }
        if (file < 0) {
            const int error = errno;
            forget(path);
            if (error == EEXIST) continue;
            throw FormatError(folder + ": cannot write: " + systemReason(error));
        }
        // Another run cleaning the folder may take the new file's lock before
        // we do, or take it, remove the file and let go; either way it is no
        // use to us: a fresh one is made.
        const int lockError = takeLock(file) ? 0 : errno;
        struct stat info {};
        if (fstat(file, &info) != 0 || info.st_nlink == 0 || lockError == EAGAIN || lockError == EACCES) {
            ::close(file);
            forget(path);
            continue;
        }
        node->device = info.st_dev;
        node->inode = info.st_ino;
        return registry().locks[folder] = RunLock{file, tag, path, 0};
    }
}

// Removes what the process still has when it ends normally, in case some
// path failed to; a run's lock files always go here. Its threads are done
// by then: nothing is being created.
struct AtExit {
    ~AtExit() { unlinkListed(); }
} atExit;

}  // namespace

std::string folderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

namespace {

// Makes a new temporary name beside `path` and calls make(name, info),
// which makes the file, sets `info` to its status and returns a descriptor
// (or 0 when it opens none), or -1 with errno set; an existing name is never
// touched, another is tried. Whatever is at the name later is compared with
// that status.
template <typename Make>
int makeTemporary(const std::string& path, std::string& temporary, struct stat& info, Make make) {
    const std::string folder = folderOf(path);
    const std::string prefix = "." + std::filesystem::path(path).filename().string() + temporaryMark;
    std::lock_guard<std::mutex> guard(registry().mutex);
    const std::string tag = runLock(folder).tag;
    for (;;) {
        temporary = joined(folder, prefix + tag + "-" + randomTag());
        // Known before it exists: a signal in between must not leave it.
        Node* node = remember(temporary, folder);
        int file;
        {
            CreateSection section;
            file = make(temporary.c_str(), info);
        }
        if (file < 0) {
            const int error = errno;
            forget(temporary);
            if (error == EEXIST) continue;
            errno = error;
            return -1;
        }
        node->device = info.st_dev;
        node->inode = info.st_ino;
        return file;
    }
}

// Gives the new file open at `file` (its status `now`) the owner, group and
// permissions of the file it replaces (`old`), as far as the process may
// (root, or the owner for a group of its own) and the file system lets it
// (FAT and some SMB mounts fix permissions themselves and refuse them).
// Set-user and set-group bits go only with the owner or group they were
// given for.
void takeOwnerAndMode(int file, const struct stat& now, const struct stat& old) {
    bool ownerKept = now.st_uid == old.st_uid;
    bool groupKept = now.st_gid == old.st_gid;
    if (!ownerKept || !groupKept) {
        if (fchown(file, old.st_uid, old.st_gid) == 0) {
            ownerKept = groupKept = true;
        } else if (!groupKept) {
            groupKept = fchown(file, static_cast<uid_t>(-1), old.st_gid) == 0;
        }
    }
    const mode_t mode = (old.st_mode & 01777) | (ownerKept ? old.st_mode & S_ISUID : 0) |
                        (groupKept ? old.st_mode & S_ISGID : 0);
    // Always set: the file was made with the owner's bits only, and a new
    // owner takes the set-id bits away. Where it is refused, the file stays
    // as made, no more open than the old one.
    fchmod(file, mode);
}

}  // namespace

int createTemporary(const std::string& path, std::string& temporary) {
    struct stat old {};
    const bool replacing = ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    // A new file takes the umask's permissions (and the folder's default
    // ACL); one that replaces a file is made with that file's owner bits
    // only, readable by nobody else until it has that file's owner.
    const mode_t mode = replacing ? old.st_mode & 0700 : 0666;
    struct stat now {};
    const int file = makeTemporary(path, temporary, now, [mode](const char* name, struct stat& info) {
        const int made = ::open(name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        // Through the descriptor: the file made, whatever its name holds now.
        if (made >= 0) fstat(made, &info);
        return made;
    });
    if (file < 0) throw FormatError(path + ": cannot write: " + systemReason(errno));
    if (replacing) takeOwnerAndMode(file, now, old);
    return file;
}

bool linkTemporary(const std::string& existing, std::string& temporary) {
    struct stat info {};
    const int made = makeTemporary(existing, temporary, info, [&](const char* name, struct stat& linked) {
        if (::link(existing.c_str(), name) != 0) return -1;
        lstat(name, &linked);
        return 0;
    });
    if (made == 0) return true;
    temporary.clear();
    return false;
}

void removeTemporary(const std::string& temporary) {
    std::lock_guard<std::mutex> guard(registry().mutex);
    ::unlink(temporary.c_str());
    forget(temporary);
}

namespace {

// The removal's shared state: the names and the next one to take.
struct Removal {
    const std::vector<std::string>* temporaries;
    std::atomic<size_t> next{0};
};

void* removeSome(void* state) {
    Removal& removal = *static_cast<Removal*>(state);
    const std::vector<std::string>& temporaries = *removal.temporaries;
    for (size_t i = removal.next++; i < temporaries.size(); i = removal.next++) {
        if (!temporaries[i].empty()) ::unlink(temporaries[i].c_str());
    }
    return nullptr;
}

}  // namespace

void removeTemporaries(const std::vector<std::string>& temporaries) {
    Removal removal{&temporaries};
    // A thread for every 64 files, up to 16: a few files are not worth a
    // thread's start, and more threads than the disk's queue gain nothing.
    // They start with every signal blocked (a thread inherits its creator's
    // mask), so that an interrupt is taken by this thread, where the
    // handler's exit path expects it; one that cannot start leaves its share
    // to the others.
    const size_t wanted = std::min<size_t>(16, temporaries.size() / 64);
    pthread_t helpers[16];
    size_t started = 0;
    sigset_t all, saved;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &saved);
    while (started < wanted && pthread_create(&helpers[started], nullptr, removeSome, &removal) == 0) ++started;
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    removeSome(&removal);
    for (size_t i = 0; i < started; ++i) pthread_join(helpers[i], nullptr);
    // Each is unlinked before it is forgotten, as by removeTemporary, so
    // that an interrupt in between finds it (gone) rather than missing it.
    std::lock_guard<std::mutex> guard(registry().mutex);
    for (const std::string& temporary : temporaries) {
        if (!temporary.empty()) forget(temporary);
    }
}

void forgetTemporary(const std::string& temporary) {
    std::lock_guard<std::mutex> guard(registry().mutex);
    forget(temporary);
}

bool temporaryInPlace(const std::string& temporary) {
    dev_t device;
    ino_t inode;
    {
        std::lock_guard<std::mutex> guard(registry().mutex);
        auto found = registry().byName.find(temporary);
        if (found == registry().byName.end()) return false;
        device = found->second.node->device;
        inode = found->second.node->inode;
    }
    struct stat info {};
    return lstat(temporary.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_dev == device &&
           info.st_ino == inode;
}

void removeStaleTemporaries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* listing = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(listing)) {
            if (entry->d_name[0] == '.') names.emplace_back(entry->d_name);
        }
        closedir(listing);
    }
    std::vector<std::string> ownTags;
    {
        std::lock_guard<std::mutex> guard(registry().mutex);
        for (const auto& [where, lock] : registry().locks) ownTags.push_back(lock.tag);
    }
    const size_t prefixLength = sizeof lockPrefix - 1;
    for (const std::string& name : names) {
        if (name.size() != prefixLength + tagLength || name.compare(0, prefixLength, lockPrefix) != 0) continue;
        const std::string tag = name.substr(prefixLength);
        bool own = false;
        for (const std::string& ownTag : ownTags) own = own || ownTag == tag;
        if (own) continue;
        const std::string lockPath = joined(folder, name);
        const int file = ::open(lockPath.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
        if (file < 0) continue;
        if (takeLock(file)) {
            // Its owner is gone: its temporaries first, so that a listing
            // never shows a live-looking temporary without its lock file.
            const std::string mark = temporaryMark + tag + "-";
            for (const std::string& other : names) {
                const size_t at = other.rfind(mark);
                if (at != std::string::npos && at + mark.size() + tagLength == other.size()) {
                    ::unlink(joined(folder, other).c_str());
                }
            }
            ::unlink(lockPath.c_str());
        }
        ::close(file);
    }
}

void syncFolder(const std::string& folder) {
    const int file = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (file < 0 || (::fsync(file) != 0 && errno != EINVAL)) {
        const int error = errno;
        if (file >= 0) ::close(file);
        throw FormatError(folder + ": cannot flush the folder: " + systemReason(error));
    }
    ::close(file);
}

void removeTemporariesNow() {
    stopping.store(true);
    while (creating.load() > 0) sched_yield();
    unlinkListed();
}

}  // namespace kestrin::formats
