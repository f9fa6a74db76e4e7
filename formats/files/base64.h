// Base64 (RFC 4648, with padding) for binary data carried inside text files.
#ifndef KESTRIN_FORMATS_BASE64_H
#define KESTRIN_FORMATS_BASE64_H

#include <stddef.h>

#include <string>

namespace kestrin::formats {

// Appends the base64 text of `size` bytes at `data` to `out`: 4 characters
// for every 3 bytes, the last group padded with '='.
void appendBase64(std::string& out, const void* data, size_t size);

}  // namespace kestrin::formats

#endif
