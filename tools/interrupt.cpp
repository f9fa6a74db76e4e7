#include "interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

#include "files/temporary_files.h"

namespace kestrin::tool {
namespace {

std::atomic<int> held{0};
std::atomic<int> pending{0};

[[noreturn]] void removeTemporariesAndExit(int signal) {
    formats::removeTemporariesNow();
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
        signal(SIGXFSZ, SIG_IGN);
    });
}

InterruptsHeld::InterruptsHeld() { held.fetch_add(1); }

InterruptsHeld::~InterruptsHeld() {
    if (held.fetch_sub(1) == 1) {
        if (const int signal = pending.exchange(0)) removeTemporariesAndExit(signal);
    }
}

bool InterruptsHeld::completed() { return pending.exchange(0) != 0; }

}  // namespace kestrin::tool
