#include "files/byte_sink.h"

#include <cstring>

namespace kestrin::formats {

ByteSink::ByteSink() : buffer_(new char[capacity]) {}

void ByteSink::append(std::string_view bytes) {
    if (bytes.size() <= capacity - used_) {
        std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
        used_ += bytes.size();
        return;
    }
    flush();
    if (bytes.size() >= capacity / 2) {
        deliver(bytes);
        return;
    }
    std::memcpy(buffer_.get(), bytes.data(), bytes.size());
    used_ = bytes.size();
}

void ByteSink::flush() {
    if (used_ == 0) return;
    // Emptied first: a delivery that throws leaves nothing to pass on twice.
    const size_t size = used_;
    used_ = 0;
    deliver({buffer_.get(), size});
}

}  // namespace kestrin::formats
