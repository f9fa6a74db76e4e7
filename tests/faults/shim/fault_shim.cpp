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
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>

namespace {

std::atomic<int> renames{0};
std::atomic<int> syncs{0};
std::atomic<int> randomCalls{0};

long setting(const char* name) {
    const char* value = getenv(name);
    return value != nullptr ? atol(value) : 0;
}

void record(const char* what, const char* first, const char* second) {
    const char* log = getenv("KESTRIN_SHIM_LOG");
    if (log == nullptr) return;
    char line[8192];
    const int length = snprintf(line, sizeof line, "%s %s%s%s\n", what, first, second ? " " : "", second ? second : "");
    const int file = open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (file < 0) return;
    // One write per line: lines from several threads never mix.
    if (write(file, line, static_cast<size_t>(length)) < 0) {
    }
    close(file);
}

void recordDescriptor(const char* what, int fd) {
    char link[64];
    char path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, path, sizeof path - 1);
    path[length > 0 ? length : 0] = '\0';
    record(what, path, nullptr);
}

template <typename F>
F next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

int fdatasync(int fd) {
    recordDescriptor("fdatasync", fd);
    static auto real = next<int (*)(int)>("fdatasync");
    const int result = setting("KESTRIN_SHIM_NO_SYNC") ? 0 : real(fd);
    if (++syncs == setting("KESTRIN_SHIM_SIGNAL_SYNC")) raise(SIGINT);
    return result;
}

int fsync(int fd) {
    recordDescriptor("fsync", fd);
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

ssize_t getrandom(void* buffer, size_t length, unsigned int flags) {
    if (!setting("KESTRIN_SHIM_COUNTING_RANDOM")) {
        static auto real = next<ssize_t (*)(void*, size_t, unsigned int)>("getrandom");
        return real(buffer, length, flags);
    }
    memset(buffer, randomCalls++ & 0xff, length);
    return static_cast<ssize_t>(length);
}

}  // extern "C"
