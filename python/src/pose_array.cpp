#include "pose_array.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

#include "mesh/obj_reader.h"

namespace kestrin::python {
namespace {

template <typename T>
T load(const char* at, bool swapped) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, at, sizeof(T));
    if (swapped) {
        for (size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(bytes[i], bytes[sizeof(T) - 1 - i]);
    }
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
}

// One number of the layout as a double; integers of 8 bytes round as NumPy's
// astype(float64) rounds them.
double number(const char* at, const NumberLayout& layout) {
    switch (layout.kind) {
        case 'f':
            return layout.size == 4 ? double(load<float>(at, layout.swapped)) : load<double>(at, layout.swapped);
        case 'i':
            switch (layout.size) {
                case 1: return double(load<int8_t>(at, false));
                case 2: return double(load<int16_t>(at, layout.swapped));
                case 4: return double(load<int32_t>(at, layout.swapped));
                default: return double(load<int64_t>(at, layout.swapped));
            }
        default:
            switch (layout.size) {
                case 1: return double(load<uint8_t>(at, false));
                case 2: return double(load<uint16_t>(at, layout.swapped));
                case 4: return double(load<uint32_t>(at, layout.swapped));
                default: return double(load<uint64_t>(at, layout.swapped));
            }
    }
}

}  // namespace

bool convertible(const NumberLayout& layout) {
    if (layout.kind == 'f') return layout.size == 4 || layout.size == 8;
    if (layout.kind == 'i' || layout.kind == 'u') {
        return layout.size == 1 || layout.size == 2 || layout.size == 4 || layout.size == 8;
    }
    return false;
}

PoseArray::PoseArray(const char* data, NumberLayout layout, size_t poseCount, size_t pointCount,
                       const int64_t strides[3], std::string name)
    : data_(data), layout_(layout), poseCount_(poseCount), pointCount_(pointCount),
      strides_{strides[0], strides[1], strides[2]}, name_(std::move(name)) {}

void PoseArray::read(size_t pose, Point3* out) const {
    const char* base = data_ + static_cast<int64_t>(pose) * strides_[0];
    for (size_t i = 0; i < pointCount_; ++i) {
        const char* at = base + static_cast<int64_t>(i) * strides_[1];
        const double x = number(at, layout_);
        const double y = number(at + strides_[2], layout_);
        const double z = number(at + 2 * strides_[2], layout_);
        for (double value : {x, y, z}) {
            // Written to fail for NaN too.
            if (!(std::fabs(value) <= formats::largestCoordinate)) {
                const std::string where = name_ + ": pose " + std::to_string(pose) + ", point " + std::to_string(i);
                throw std::invalid_argument(where + (std::isfinite(value) ? " lies beyond +-1e18, which the tool refuses"
                                                                          : " is not finite"));
            }
        }
        out[i] = Point3{x, y, z};
    }
}

}  // namespace kestrin::python
