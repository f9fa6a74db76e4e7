#include "calloc_control.h"

#include <dlfcn.h>
#include <errno.h>

#include <gtest/gtest.h>

extern "C" void* __libc_calloc(size_t count, size_t size);
extern "C" void __libc_free(void* block);

namespace kestrin::test {
namespace {

// No allocation of its own: the watch runs inside the allocator's callers.
constexpr size_t MAX_HELD = 1 << 14;
void* held[MAX_HELD];
size_t heldCount = 0;
bool watching = false;
int succeedLeft = -1;
int calls = 0;
bool failed = false;
// Load address of the one library watched, or null for every caller.
const void* watchedLibrary = nullptr;
// Set while a caller is looked up, in case the lookup allocates itself.
bool lookingUp = false;

bool fromWatchedLibrary(const void* returnAddress) {
    if (watchedLibrary == nullptr) return true;
    if (lookingUp) return false;
    lookingUp = true;
    Dl_info info;
    const bool inside = dladdr(returnAddress, &info) != 0 && info.dli_fbase == watchedLibrary;
    lookingUp = false;
    return inside;
}

// Load address of the library at path, which must already be loaded.
const void* loadAddress(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) return nullptr;
    void* entry = dlsym(handle, "kestrinEntry");
    Dl_info info;
    const void* base = entry != nullptr && dladdr(entry, &info) != 0 ? info.dli_fbase : nullptr;
    dlclose(handle);
    return base;
}

}  // namespace

void watchCalloc(int succeed) {
    heldCount = 0;
    calls = 0;
    failed = false;
    succeedLeft = succeed;
    watchedLibrary = nullptr;
    watching = true;
}

void watchCallocIn(const std::string& libraryPath, int succeed) {
    const void* library = loadAddress(libraryPath);
    ASSERT_NE(library, nullptr) << libraryPath << " is not loaded";
    watchCalloc(succeed);
    watchedLibrary = library;
}

bool stopWatchingCalloc() {
    watching = false;
    succeedLeft = -1;
    watchedLibrary = nullptr;
    return failed;
}

size_t heldCallocBlocks() { return heldCount; }
int callocCallsWatched() { return calls; }

}  // namespace kestrin::test

using namespace kestrin::test;

extern "C" void* calloc(size_t count, size_t size) {
    if (!watching || !fromWatchedLibrary(__builtin_return_address(0))) {
        return __libc_calloc(count, size);
    }
    ++calls;
    if (succeedLeft == 0) {
        succeedLeft = -1;
        failed = true;
        errno = ENOMEM;
        return nullptr;
    }
    if (succeedLeft > 0) --succeedLeft;
    void* block = __libc_calloc(count, size);
    if (block != nullptr && heldCount < MAX_HELD) held[heldCount++] = block;
    return block;
}

extern "C" void free(void* block) {
    for (size_t i = 0; i < heldCount && block != nullptr; ++i) {
        if (held[i] == block) {
            held[i] = held[--heldCount];
            break;
        }
    }
    __libc_free(block);
}
