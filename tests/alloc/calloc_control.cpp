#include "calloc_control.h"

#include <errno.h>

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

}  // namespace

void watchCalloc(int succeed) {
    heldCount = 0;
    calls = 0;
    failed = false;
    succeedLeft = succeed;
    watching = true;
}

bool stopWatchingCalloc() {
    watching = false;
    succeedLeft = -1;
    return failed;
}

size_t heldCallocBlocks() { return heldCount; }
int callocCallsWatched() { return calls; }

}  // namespace kestrin::test

using namespace kestrin::test;

extern "C" void* calloc(size_t count, size_t size) {
    if (!watching) return __libc_calloc(count, size);
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
