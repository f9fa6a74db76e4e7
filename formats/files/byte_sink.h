// A file's bytes passed on in pieces as a writer makes them, so that no
// writer needs to hold its whole file: small pieces are gathered in the
// sink's own buffer (which stays in the cache), large ones (an input's bytes
// kept as they were) go straight through without a copy.
#ifndef KESTRIN_FORMATS_BYTE_SINK_H
#define KESTRIN_FORMATS_BYTE_SINK_H

#include <stddef.h>

#include <memory>
#include <string>
#include <string_view>

namespace kestrin::formats {

class ByteSink {
public:
    virtual ~ByteSink() = default;

    void append(std::string_view bytes);
    void append(char byte) {
        if (used_ == capacity) flush();
        buffer_[used_++] = byte;
    }
    // Room for `size` bytes (at most `capacity`) at the end of what is held,
    // to be written there and kept with commit().
    char* room(size_t size) {
        if (capacity - used_ < size) flush();
        return buffer_.get() + used_;
    }
    void commit(size_t size) { used_ += size; }
    // Passes on what is gathered; a writer's last call.
    void flush();

    static constexpr size_t capacity = 1 << 16;

protected:
    ByteSink();
    // Takes the next piece of the file; may throw.
    virtual void deliver(std::string_view bytes) = 0;

private:
    std::unique_ptr<char[]> buffer_;
    size_t used_ = 0;
};

// Every piece appended to a string, for a caller that wants the whole text.
class StringSink : public ByteSink {
public:
    explicit StringSink(std::string& text) : text_(text) {}

private:
    void deliver(std::string_view bytes) override { text_.append(bytes); }
    std::string& text_;
};

}  // namespace kestrin::formats

#endif
