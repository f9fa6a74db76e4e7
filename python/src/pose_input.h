// A NumPy array of poses as a PoseArray, read in place: the array is kept
// alive with it. Shapes and dtypes are checked here, with the GIL held.
#ifndef KESTRIN_PYTHON_POSE_INPUT_H
#define KESTRIN_PYTHON_POSE_INPUT_H

#include <pybind11/numpy.h>

#include <string>

#include "pose_array.h"

namespace kestrin::python {

struct PoseInput {
    pybind11::array array;  // holds the memory the source reads
    PoseArray source;
};

// A (P, N, 3) array of a dtype PoseArray converts; ValueError otherwise.
PoseInput poseInput(const pybind11::array& array, const std::string& name);

// Whether this thread is Python's main thread, the one that runs signal
// handlers: only there is Ctrl-C looked for between poses.
bool onMainThread();

}  // namespace kestrin::python

#endif
