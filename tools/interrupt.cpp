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
std::atomic<bool> completedWork{false};

[[noreturn]] void removeTemporariesAndExit(int signal) {
    formats::removeTemporariesNow();
    _exit(128 + signal);
}

void onSignal(int signal) {
    if (completedWork.load()) {
        // Every output is new: status 130 would say they are all old.
        static constexpr char late[] = "kestrin: interrupted after the outputs were put in place; they are all new\n";
        formats::removeTemporariesNow();
        if (write(STDERR_FILENO, late, sizeof late - 1) < 0) {
            // Nothing more can be said.
        }
        _exit(0);
    }
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

bool InterruptsHeld::completed() {
    completedWork.store(true);
    return pending.exchange(0) != 0;
}

}  // namespace kestrin::tool
