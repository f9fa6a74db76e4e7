// Reads a fuzzer's input as a stream of small decisions. Past the end every
// read gives zero, so any input, the empty one included, is a valid program.
#ifndef KESTRIN_FUZZ_BYTES_H
#define KESTRIN_FUZZ_BYTES_H

#include <stddef.h>
#include <stdint.h>

#include <cstring>
#include <limits>
#include <string_view>

namespace kestrin::fuzz {

class FuzzBytes {
public:
    FuzzBytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool empty() const { return at_ >= size_; }

    uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint32_t u32() {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value = (value << 8) | byte();
        return value;
    }
    uint64_t u64() { return (uint64_t(u32()) << 32) | u32(); }
    // A value in [0, count); 0 when count is 0.
    uint32_t below(uint32_t count) { return count == 0 ? 0 : byte() % count; }
    bool flag() { return (byte() & 1) != 0; }
    // Every byte not read yet, which are then read.
    std::string_view rest() {
        const size_t at = at_ < size_ ? at_ : size_;
        at_ = size_;
        return {reinterpret_cast<const char*>(data_) + at, size_ - at};
    }

    // A double that is often one a plug-in must survive: zero, negative,
    // huge, tiny, not a number or infinite.
    double awkwardDouble() {
        switch (byte() % 16) {
            case 0: return 0.0;
            case 1: return -0.0;
            case 2: return -1.0;
            case 3: return 1e308;
            case 4: return -1e308;
            case 5: return std::numeric_limits<double>::quiet_NaN();
            case 6: return std::numeric_limits<double>::infinity();
            case 7: return -std::numeric_limits<double>::infinity();
            case 8: return std::numeric_limits<double>::denorm_min();
            case 9: return 0.5;
            case 10: return 0.2;
            case 11: return 2.0;
            case 12: return -0.5;
            case 13: return double(int8_t(byte())) / 8.0;
            default: {
                const uint64_t bits = u64();
                double value;
                std::memcpy(&value, &bits, sizeof value);
                return value;
            }
        }
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

}  // namespace kestrin::fuzz

#endif
