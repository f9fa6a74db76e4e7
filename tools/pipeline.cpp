#include "pipeline.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace kestrin::tool {
namespace {

enum class SlotState { free, reading, read, writing };

class Workers {
public:
    explicit Workers(unsigned count) {
        try {
            for (unsigned i = 0; i < count; ++i) threads_.emplace_back([this] { work(); });
        } catch (...) {
            // A thread that cannot start (std::system_error): those that did
            // are stopped, so the failure reaches the caller as an error.
            stop();
            throw;
        }
    }
    ~Workers() { stop(); }

    void stop() {
        {
            std::lock_guard<std::mutex> lock(queueMutex_);
            closing_ = true;
        }
        wake_.notify_all();
        for (std::thread& thread : threads_) thread.join();
        threads_.clear();
    }

    void submit(std::function<void()> task) {
        {
            std::lock_guard<std::mutex> lock(queueMutex_);
            tasks_.push_back(std::move(task));
        }
        wake_.notify_one();
    }

    // The run's state, which the tasks update; apart from the queue's own
    // lock, so that work can be queued while the state is held.
    std::mutex mutex;
    std::condition_variable done;  // a task finished

private:
    void work() {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock<std::mutex> lock(queueMutex_);
                wake_.wait(lock, [this] { return closing_ || !tasks_.empty(); });
                if (tasks_.empty()) return;
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
            done.notify_all();
        }
    }

    std::vector<std::thread> threads_;
    std::mutex queueMutex_;
    std::deque<std::function<void()>> tasks_;
    std::condition_variable wake_;
    bool closing_ = false;
};

void runInline(size_t poseCount, const PipelineStages& stages) {
    if (stages.prepare) stages.prepare();
    for (size_t pose = 0; pose < poseCount; ++pose) {
        stages.read(pose, 0);
        stages.compute(pose, 0);
        stages.write(pose, 0);
    }
}

}  // namespace

size_t pipelineSlots(unsigned jobs, bool copiesOnly) {
    if (jobs <= 1) return 1;
    return copiesOnly ? 2 : static_cast<size_t>(jobs) + 2;
}

void runPipeline(size_t poseCount, unsigned jobs, size_t slotCount, const PipelineStages& stages) {
    if (jobs <= 1 || poseCount <= 1 || slotCount <= 1) return runInline(poseCount, stages);
    std::vector<SlotState> state(slotCount, SlotState::free);
    std::exception_ptr failure;
    size_t running = 0;
    Workers workers(jobs);

    // Runs a stage on a worker; the slot moves to `after` when it is done.
    auto submit = [&](const std::function<void(size_t, size_t)>& stage, size_t pose, SlotState after) {
        const size_t slot = pose % slotCount;
        ++running;
        workers.submit([&, pose, slot, after] {
            std::exception_ptr error;
            try {
                stage(pose, slot);
            } catch (...) {
                error = std::current_exception();
            }
            std::lock_guard<std::mutex> lock(workers.mutex);
            if (error && !failure) failure = error;
            state[slot] = after;
            --running;
        });
    };

    size_t nextRead = 0;
    // Reads ahead into every free slot, in pose order.
    auto readAhead = [&](size_t pose) {
        while (nextRead < poseCount && nextRead < pose + slotCount &&
               state[nextRead % slotCount] == SlotState::free) {
            state[nextRead % slotCount] = SlotState::reading;
            submit(stages.read, nextRead++, SlotState::read);
        }
    };
    std::unique_lock<std::mutex> lock(workers.mutex);
    readAhead(0);
    if (stages.prepare) {
        lock.unlock();
        try {
            stages.prepare();
        } catch (...) {
            lock.lock();
            if (!failure) failure = std::current_exception();
        }
        if (!lock.owns_lock()) lock.lock();
    }
    for (size_t pose = 0; pose < poseCount && !failure; ++pose) {
        // The pose's own read may not be under way yet: its slot can still
        // be writing the pose slotCount before. Every finished task may free
        // a slot, so the read-ahead runs again at each one.
        const size_t slot = pose % slotCount;
        workers.done.wait(lock, [&] {
            readAhead(pose);
            return failure || (nextRead > pose && state[slot] == SlotState::read);
        });
        if (failure) break;
        lock.unlock();
        try {
            stages.compute(pose, slot);
        } catch (...) {
            lock.lock();
            if (!failure) failure = std::current_exception();
            break;
        }
        lock.lock();
        state[slot] = SlotState::writing;
        submit(stages.write, pose, SlotState::free);
    }
    workers.done.wait(lock, [&] { return running == 0; });
    if (failure) std::rethrow_exception(failure);
}

}  // namespace kestrin::tool
