#include "interrupt.h"

#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "atomic_file.h"

namespace kestrin::tool {
namespace {

// Names are copied once and never freed: the handler may read one at any
// moment, from any thread. A run registers a few names per output file;
// those no longer registered are kept in `retired`.
constexpr size_t slotCount = 1 << 15;
std::atomic<const char*> slots[slotCount];
std::mutex registerMutex;
std::vector<const char*>& retired() {
    static std::vector<const char*>* names = new std::vector<const char*>;
    return *names;
}

std::atomic<int> held{0};
std::atomic<int> pending{0};

[[noreturn]] void removeTemporariesAndExit(int signal) {
    for (std::atomic<const char*>& slot : slots) {
        if (const char* name = slot.load(std::memory_order_acquire)) unlink(name);
    }
    _exit(128 + signal);
}

void onSignal(int signal) {
    if (held.load() > 0) {
        pending.store(signal);
        return;
    }
    removeTemporariesAndExit(signal);
}

}  // namespace

void installInterruptHandlers() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_handler = &onSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
        formats::watchTemporaries({&registerTemporary, &unregisterTemporary});
    });
}

void registerTemporary(const std::string& path) {
    std::lock_guard<std::mutex> lock(registerMutex);
    for (std::atomic<const char*>& slot : slots) {
        if (slot.load(std::memory_order_relaxed) == nullptr) {
            slot.store(strdup(path.c_str()), std::memory_order_release);
            return;
        }
    }
}

void unregisterTemporary(const std::string& path) {
    std::lock_guard<std::mutex> lock(registerMutex);
    for (std::atomic<const char*>& slot : slots) {
        const char* name = slot.load(std::memory_order_relaxed);
        if (name != nullptr && path == name) {
            slot.store(nullptr, std::memory_order_release);
            retired().push_back(name);
            return;
        }
    }
}

InterruptsHeld::InterruptsHeld() { held.fetch_add(1); }

InterruptsHeld::~InterruptsHeld() {
    if (held.fetch_sub(1) == 1) {
        if (const int signal = pending.exchange(0)) removeTemporariesAndExit(signal);
    }
}

}  // namespace kestrin::tool
