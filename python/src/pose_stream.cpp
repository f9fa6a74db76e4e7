#include "pose_stream.h"

#include <pybind11/pybind11.h>

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace kestrin::python {
namespace {

// Poses converted ahead of the plug-in: enough to cover the converter's
// jitter, few enough that memory stays a handful of poses.
constexpr size_t aheadSlots = 3;

void checkInterrupts() {
    pybind11::gil_scoped_acquire locked;
    if (PyErr_CheckSignals() != 0) throw pybind11::error_already_set();
}

// The ring between the converting thread and the caller's.
struct Ring {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::vector<Point3>> slots;
    size_t converted = 0;  // poses converted (or failed) so far
    size_t used = 0;       // poses the caller is done with
    std::exception_ptr failure;  // of pose `converted - 1`, when set
    bool stop = false;
};

void convertAhead(const PoseArray& source, Ring& ring) {
    for (size_t pose = 0; pose < source.poseCount(); ++pose) {
        {
            std::unique_lock<std::mutex> lock(ring.mutex);
            ring.changed.wait(lock, [&] { return ring.stop || pose - ring.used < aheadSlots; });
            if (ring.stop) return;
        }
        std::exception_ptr failure;
        try {
            source.read(pose, ring.slots[pose % aheadSlots].data());
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard<std::mutex> lock(ring.mutex);
        ring.failure = failure;
        ++ring.converted;
        ring.changed.notify_all();
        if (failure) return;
    }
}

}  // namespace

void streamPoses(const PoseArray& source, bool interrupts,
                 const std::function<void(size_t, const Point3*)>& use) {
    if (source.poseCount() == 1) {
        std::vector<Point3> pose(source.pointCount());
        source.read(0, pose.data());
        use(0, pose.data());
        return;
    }
    Ring ring;
    ring.slots.assign(aheadSlots, std::vector<Point3>(source.pointCount()));
    std::thread converter(convertAhead, std::cref(source), std::ref(ring));
    // Stops and joins the converter however the loop ends.
    struct Join {
        Ring& ring;
        std::thread& thread;
        ~Join() {
            {
                std::lock_guard<std::mutex> lock(ring.mutex);
                ring.stop = true;
            }
            ring.changed.notify_all();
            thread.join();
        }
    } join{ring, converter};

    for (size_t pose = 0; pose < source.poseCount(); ++pose) {
        {
            std::unique_lock<std::mutex> lock(ring.mutex);
            ring.changed.wait(lock, [&] { return ring.converted > pose; });
            if (ring.failure && ring.converted == pose + 1) std::rethrow_exception(ring.failure);
        }
        use(pose, ring.slots[pose % aheadSlots].data());
        {
            std::lock_guard<std::mutex> lock(ring.mutex);
            ring.used = pose + 1;
        }
        ring.changed.notify_all();
        if (interrupts && pose + 1 < source.poseCount()) checkInterrupts();
    }
}

}  // namespace kestrin::python
