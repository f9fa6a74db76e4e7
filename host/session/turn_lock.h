// The session's lock: callers get it in the order they asked for it, and the
// thread holding it may take it again (calls of the session call each other).
// A thread that computes pose after pose gives it up after every pose; with
// a plain mutex it would take it straight back before a waiting thread woke,
// and a property read on another thread could wait for the whole sequence.
// Here a thread that asked during the pose goes next.
#ifndef KESTRIN_SESSION_TURN_LOCK_H
#define KESTRIN_SESSION_TURN_LOCK_H

#include <stddef.h>
#include <stdint.h>

#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

namespace kestrin::host {

class TurnLock {
public:
    void lock() {
        std::unique_lock<std::mutex> guard(mutex_);
        const std::thread::id self = std::this_thread::get_id();
        if (depth_ > 0 && owner_ == self) {
            ++depth_;
            return;
        }
        const uint64_t ticket = nextTicket_++;
        turn_.wait(guard, [&] { return serving_ == ticket; });
        owner_ = self;
        depth_ = 1;
    }

    void unlock() {
        std::lock_guard<std::mutex> guard(mutex_);
        if (--depth_ > 0) return;
        owner_ = std::thread::id();
        ++serving_;
        turn_.notify_all();
    }

    // In a child forked while this process's threads held or waited for
    // turns: free, with no turn taken. The parent's mutex and condition may
    // be in any state (a condition with waiters cannot even be destroyed),
    // so they are made anew over the old ones.
    void resetInChild() {
        new (&mutex_) std::mutex();
        new (&turn_) std::condition_variable();
        nextTicket_ = 0;
        serving_ = 0;
        owner_ = std::thread::id();
        depth_ = 0;
    }

    // Threads waiting for their turn (for tests).
    size_t waiting() {
        std::lock_guard<std::mutex> guard(mutex_);
        return static_cast<size_t>(nextTicket_ - serving_) - (depth_ > 0 ? 1 : 0);
    }

private:
    std::mutex mutex_;
    std::condition_variable turn_;
    uint64_t nextTicket_ = 0;
    uint64_t serving_ = 0;  // the ticket whose turn it is
    std::thread::id owner_;
    size_t depth_ = 0;
};

}  // namespace kestrin::host

#endif
