// The session's lock: a thread that asked while another held it goes before
// the holder takes it back, as a loop over poses does between poses.
#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

#include "turn_lock.h"

namespace kestrin::host {
namespace {

TEST(TurnLock, AThreadThatAskedGoesBeforeTheHolderTakesItBack) {
    TurnLock lock;
    std::vector<const char*> order;  // written under the lock
    lock.lock();
    lock.lock();  // the holder again, as session calls call each other: no wait
    std::thread reader([&] {
        std::lock_guard<TurnLock> turn(lock);
        order.push_back("reader");
    });
    while (lock.waiting() == 0) std::this_thread::yield();
    lock.unlock();
    lock.unlock();
    // The next poses ask straight back, before the reader has had a chance to run.
    for (const char* pose : {"pose 2", "pose 3"}) {
        std::lock_guard<TurnLock> turn(lock);
        order.push_back(pose);
    }
    reader.join();
    EXPECT_EQ(order, (std::vector<const char*>{"reader", "pose 2", "pose 3"}));
    EXPECT_EQ(lock.waiting(), 0u);
}

}  // namespace
}  // namespace kestrin::host
