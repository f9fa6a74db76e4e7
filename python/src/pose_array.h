// Poses as users hand them over: a (P, N, 3) array of any real dtype, byte
// order and strides (a memory-mapped cache included), read in place and
// converted one pose at a time into the points a plug-in takes. No copy of
// the whole array is ever made.
#ifndef KESTRIN_PYTHON_POSE_ARRAY_H
#define KESTRIN_PYTHON_POSE_ARRAY_H

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "kestrin_types.h"

namespace kestrin::python {

// The layout of the array's numbers, as NumPy describes it.
struct NumberLayout {
    char kind = 'f';          // 'f' float, 'i' signed, 'u' unsigned
    size_t size = 8;          // bytes per number: 1, 2, 4 or 8 (floats: 4 or 8)
    bool swapped = false;     // stored in the other byte order than this machine's
};

// Whether the module converts numbers of this layout itself; others are
// converted pose by pose by NumPy in the package layer.
bool convertible(const NumberLayout& layout);

class PoseArray {
public:
    // data: the first number; strides in bytes for pose, point, coordinate.
    // The caller keeps the array alive (and holds no lock on it) while any
    // pose is read; reading needs no GIL.
    PoseArray(const char* data, NumberLayout layout, size_t poseCount, size_t pointCount,
               const int64_t strides[3], std::string name);

    size_t poseCount() const { return poseCount_; }
    size_t pointCount() const { return pointCount_; }
    // Pose `pose` into out (pointCount() points). Throws std::invalid_argument
    // "NAME: pose P, point I ..." for a coordinate that is not finite or
    // beyond the readers' largest coordinate, as the tool refuses it.
    void read(size_t pose, Point3* out) const;

private:
    const char* data_;
    NumberLayout layout_;
    size_t poseCount_;
    size_t pointCount_;
    int64_t strides_[3];
    std::string name_;
};

}  // namespace kestrin::python

#endif
