// A whole sequence of poses through a plug-in, one pose at a time: the next
// poses are converted (and, for a memory-mapped cache, read from the file) on
// another thread while the plug-in works on the current one, as the tool's
// pipeline reads ahead. Between poses the caller's thread looks for Ctrl-C.
#ifndef KESTRIN_PYTHON_POSE_STREAM_H
#define KESTRIN_PYTHON_POSE_STREAM_H

#include <stddef.h>

#include <functional>

#include "pose_array.h"

namespace kestrin::python {

// Calls use(pose, points) for every pose of source, in order. Runs without
// the GIL; checkInterrupts: take the GIL between poses to run Python's signal
// handlers (the main thread's job), so that Ctrl-C raises KeyboardInterrupt
// (as pybind11::error_already_set) after the pose in hand. A conversion
// error is thrown when its pose's turn comes, after the poses before it.
void streamPoses(const PoseArray& source, bool checkInterrupts,
                 const std::function<void(size_t, const Point3*)>& use);

}  // namespace kestrin::python

#endif
