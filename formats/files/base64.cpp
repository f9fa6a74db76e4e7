#include "files/base64.h"

namespace kestrin::formats {

void appendBase64(std::string& out, const void* data, size_t size) {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    out.reserve(out.size() + (size + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const unsigned group = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
        out += alphabet[group >> 18];
        out += alphabet[group >> 12 & 63];
        out += alphabet[group >> 6 & 63];
        out += alphabet[group & 63];
    }
    if (i < size) {
        const bool two = i + 1 < size;
        const unsigned group = bytes[i] << 16 | (two ? bytes[i + 1] << 8 : 0);
        out += alphabet[group >> 18];
        out += alphabet[group >> 12 & 63];
        out += two ? alphabet[group >> 6 & 63] : '=';
        out += '=';
    }
}

}  // namespace kestrin::formats
