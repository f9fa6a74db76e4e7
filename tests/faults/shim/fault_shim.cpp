// Preloaded into the tool (LD_PRELOAD) by the fault tests, to watch and break
// the calls that make outputs durable and put them in place. Set by the
// environment:
//   KESTRIN_SHIM_LOG=FILE        appends "fdatasync PATH", "fsync PATH" and
//                                "rename FROM TO" lines, in call order
//   KESTRIN_SHIM_NO_SYNC=1       fdatasync and fsync do nothing (fast tests)
//   KESTRIN_SHIM_SIGNAL_SYNC=N   SIGINT is raised just after the Nth fdatasync
//   KESTRIN_SHIM_FAIL_RENAME=N   the Nth rename fails with EIO
//   KESTRIN_SHIM_SIGNAL_RENAME=N SIGINT is raised just before the Nth rename
//   KESTRIN_SHIM_FAIL_THREADS=1  pthread_create fails with EAGAIN
//   KESTRIN_SHIM_COUNTING_RANDOM=1  getrandom fills call k's bytes with k,
//                                so that a run's "random" names are known
//
// And on the run's temporaries (".NAME.tmp-TAG-RANDOM"):
//   the log also gets "by-name CALL PATH" for every open, fopen, truncate,
//   chmod or chown of a temporary by its name other than its
//   exclusive creation, and "mode PATH OCTAL UID GID" as the temporary is
//   created and after each fchmod or fchown of it
//   KESTRIN_SHIM_SWAP_TEMPORARIES=VICTIM  right after a temporary is created,
//                                its name becomes a symbolic link to VICTIM
//   KESTRIN_SHIM_FAIL_LINK=ERRNO link of an existing file fails with that
//                                errno (no hard links)
//   KESTRIN_SHIM_FILL_BEFORE_LINK=FOLDER  before the first link, empty files
//                                are made in FOLDER until the file system
//                                refuses one (a tmpfs out of inodes)
//   KESTRIN_SHIM_SIGNAL_CREATE=N as the Nth temporary is created, SIGINT
//                                goes to another thread, and the creation
//                                waits until the handler unlinks its first
//                                file (at most half a second) and the
//                                handler until the creation is done
// The 32-bit build has 64-bit file offsets; the shim names both the plain
// and the "64" entry points itself.
#undef _FILE_OFFSET_BITS
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <stdarg.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <atomic>

namespace {

std::atomic<int> renames{0};
std::atomic<int> syncs{0};
std::atomic<int> randomCalls{0};
std::atomic<int> creates{0};
std::atomic<bool> filled{false};
// The forced interleaving of KESTRIN_SHIM_SIGNAL_CREATE.
std::atomic<bool> signalSent{false};
std::atomic<bool> handlerUnlinked{false};
std::atomic<bool> createDone{false};

template <typename F>
F next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

int realOpen(const char* path, int flags, mode_t mode) {
    static auto real = next<int (*)(const char*, int, ...)>("open64");
    return real(path, flags, mode);
}

long setting(const char* name) {
    const char* value = getenv(name);
    return value != nullptr ? atol(value) : 0;
}

void record(const char* what, const char* first, const char* second) {
    const char* log = getenv("KESTRIN_SHIM_LOG");
    if (log == nullptr) return;
    char line[8192];
    const int length = snprintf(line, sizeof line, "%s %s%s%s\n", what, first, second ? " " : "", second ? second : "");
    const int file = realOpen(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (file < 0) return;
    // One write per line: lines from several threads never mix.
    if (write(file, line, static_cast<size_t>(length)) < 0) {
    }
    close(file);
}

bool isTemporary(const char* path) { return path != nullptr && strstr(path, ".tmp-") != nullptr; }

void byName(const char* call, const char* path) {
    if (isTemporary(path)) record("by-name", call, path);
}

// The path of a descriptor, "" when it has none.
void descriptorPath(int fd, char* path, size_t size) {
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, path, size - 1);
    path[length > 0 ? length : 0] = '\0';
}

void recordMode(int fd) {
    char path[4096];
    descriptorPath(fd, path, sizeof path);
    struct stat64 info {};
    if (!isTemporary(path) || fstat64(fd, &info) != 0) return;
    char line[128];
    snprintf(line, sizeof line, "%o %u %u", static_cast<unsigned>(info.st_mode & 07777),
             static_cast<unsigned>(info.st_uid), static_cast<unsigned>(info.st_gid));
    record("mode", path, line);
}

void waitFor(const std::atomic<bool>& flag) {
    for (int i = 0; i < 500 && !flag.load(); ++i) {
        const timespec pause{0, 1000000};
        nanosleep(&pause, nullptr);
    }
}

// An open by name: the exclusive creation of a temporary is watched and
// tampered with as the settings say; any other open of one is recorded.
int watchedOpen(const char* path, int flags, mode_t mode) {
    const bool creation = (flags & O_CREAT) && (flags & O_EXCL) && isTemporary(path);
    if (!creation) {
        byName("open", path);
        return realOpen(path, flags, mode);
    }
    sigset_t saved;
    const bool signalling = ++creates == setting("KESTRIN_SHIM_SIGNAL_CREATE");
    if (signalling) {
        // Sent from here, but handled elsewhere: this thread holds it back.
        sigset_t interrupt;
        sigemptyset(&interrupt);
        sigaddset(&interrupt, SIGINT);
        pthread_sigmask(SIG_BLOCK, &interrupt, &saved);
        signalSent = true;
        kill(getpid(), SIGINT);
        waitFor(handlerUnlinked);
    }
    const int fd = realOpen(path, flags, mode);
    if (signalling) {
        createDone = true;
        pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    }
    if (fd < 0) return fd;
    recordMode(fd);
    if (const char* victim = getenv("KESTRIN_SHIM_SWAP_TEMPORARIES")) {
        static auto realUnlink = next<int (*)(const char*)>("unlink");
        realUnlink(path);
        if (symlink(victim, path) != 0) _exit(125);
    }
    return fd;
}

mode_t modeArgument(int flags, va_list arguments) {
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
}

}  // namespace

extern "C" {

int fdatasync(int fd) {
    char path[4096];
    descriptorPath(fd, path, sizeof path);
    record("fdatasync", path, nullptr);
    static auto real = next<int (*)(int)>("fdatasync");
    const int result = setting("KESTRIN_SHIM_NO_SYNC") ? 0 : real(fd);
    if (++syncs == setting("KESTRIN_SHIM_SIGNAL_SYNC")) raise(SIGINT);
    return result;
}

int fsync(int fd) {
    char path[4096];
    descriptorPath(fd, path, sizeof path);
    record("fsync", path, nullptr);
    if (setting("KESTRIN_SHIM_NO_SYNC")) return 0;
    static auto real = next<int (*)(int)>("fsync");
    return real(fd);
}

int rename(const char* from, const char* to) {
    const int number = ++renames;
    if (number == setting("KESTRIN_SHIM_SIGNAL_RENAME")) raise(SIGINT);
    if (number == setting("KESTRIN_SHIM_FAIL_RENAME")) {
        record("rename-failed", from, to);
        errno = EIO;
        return -1;
    }
    record("rename", from, to);
    static auto real = next<int (*)(const char*, const char*)>("rename");
    return real(from, to);
}

int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*start)(void*), void* argument) {
    if (setting("KESTRIN_SHIM_FAIL_THREADS")) return EAGAIN;
    static auto real = next<int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*)>("pthread_create");
    return real(thread, attributes, start, argument);
}

int open(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return watchedOpen(path, flags, mode);
}

int open64(const char* path, int flags, ...) __attribute__((alias("open")));

int openat(int folder, const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    byName("openat", path);
    static auto real = next<int (*)(int, const char*, int, ...)>("openat64");
    return real(folder, path, flags, mode);
}

int openat64(int folder, const char* path, int flags, ...) __attribute__((alias("openat")));

FILE* fopen(const char* path, const char* how) {
    byName("fopen", path);
    static auto real = next<FILE* (*)(const char*, const char*)>("fopen64");
    return real(path, how);
}

FILE* fopen64(const char* path, const char* how) __attribute__((alias("fopen")));

int truncate(const char* path, off_t length) {
    byName("truncate", path);
    static auto real = next<int (*)(const char*, off64_t)>("truncate64");
    return real(path, length);
}

int truncate64(const char* path, off64_t length) {
    byName("truncate", path);
    static auto real = next<int (*)(const char*, off64_t)>("truncate64");
    return real(path, length);
}

int chmod(const char* path, mode_t mode) {
    byName("chmod", path);
    static auto real = next<int (*)(const char*, mode_t)>("chmod");
    return real(path, mode);
}

int fchmodat(int folder, const char* path, mode_t mode, int flags) {
    byName("fchmodat", path);
    static auto real = next<int (*)(int, const char*, mode_t, int)>("fchmodat");
    return real(folder, path, mode, flags);
}

int chown(const char* path, uid_t owner, gid_t group) {
    byName("chown", path);
    static auto real = next<int (*)(const char*, uid_t, gid_t)>("chown");
    return real(path, owner, group);
}

int lchown(const char* path, uid_t owner, gid_t group) {
    byName("lchown", path);
    static auto real = next<int (*)(const char*, uid_t, gid_t)>("lchown");
    return real(path, owner, group);
}

int fchownat(int folder, const char* path, uid_t owner, gid_t group, int flags) {
    byName("fchownat", path);
    static auto real = next<int (*)(int, const char*, uid_t, gid_t, int)>("fchownat");
    return real(folder, path, owner, group, flags);
}

int fchmod(int fd, mode_t mode) {
    static auto real = next<int (*)(int, mode_t)>("fchmod");
    const int result = real(fd, mode);
    recordMode(fd);
    return result;
}

int fchown(int fd, uid_t owner, gid_t group) {
    static auto real = next<int (*)(int, uid_t, gid_t)>("fchown");
    const int result = real(fd, owner, group);
    recordMode(fd);
    return result;
}

int link(const char* from, const char* to) {
    const char* fill = getenv("KESTRIN_SHIM_FILL_BEFORE_LINK");
    if (fill != nullptr && !filled.exchange(true)) {
        char name[4096];
        for (int i = 0;; ++i) {
            snprintf(name, sizeof name, "%s/%d", fill, i);
            const int fd = realOpen(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd < 0) break;
            close(fd);
        }
    }
    // A missing file fails as it would anyway (ENOENT).
    const long error = access(from, F_OK) == 0 ? setting("KESTRIN_SHIM_FAIL_LINK") : 0;
    if (error != 0) {
        errno = static_cast<int>(error);
        return -1;
    }
    static auto real = next<int (*)(const char*, const char*)>("link");
    return real(from, to);
}

int unlink(const char* path) {
    if (signalSent.load() && !handlerUnlinked.exchange(true)) waitFor(createDone);
    static auto real = next<int (*)(const char*)>("unlink");
    return real(path);
}

ssize_t getrandom(void* buffer, size_t length, unsigned int flags) {
    if (!setting("KESTRIN_SHIM_COUNTING_RANDOM")) {
        static auto real = next<ssize_t (*)(void*, size_t, unsigned int)>("getrandom");
        return real(buffer, length, flags);
    }
    memset(buffer, randomCalls++ & 0xff, length);
    return static_cast<ssize_t>(length);
}

}  // extern "C"
