#include "page/packed_words.h"

#include <zlib.h>

#include <limits>
#include <vector>

#include "files/format_error.h"

namespace kestrin::formats {
namespace {

template <typename Word>
std::string pack(const Word* words, size_t count, const Word* previous) {
    constexpr size_t width = sizeof(Word);
    std::vector<unsigned char> planes(count * width);
    Word before = 0;
    for (size_t i = 0; i < count; ++i) {
        const Word predicted = previous != nullptr ? previous[i] : before;
        const Word difference = static_cast<Word>(words[i] - predicted);
        for (size_t plane = 0; plane < width; ++plane) {
            planes[plane * count + i] = static_cast<unsigned char>(difference >> (8 * plane));
        }
        before = words[i];
    }
    // zlib counts in uLong, 32 bits on a 32-bit build: a block that large is
    // refused rather than cut short.
    if (planes.size() > std::numeric_limits<uLong>::max() / 2) throw FormatError("a page block too large to deflate");
    uLongf size = compressBound(static_cast<uLong>(planes.size()));
    std::string out(size, '\0');
    // Level 6, zlib's default: level 9 takes twice as long for a page about
    // 1 % smaller.
    const int result = compress2(reinterpret_cast<Bytef*>(out.data()), &size, planes.data(),
                                 static_cast<uLong>(planes.size()), Z_DEFAULT_COMPRESSION);
    if (result != Z_OK) throw FormatError("cannot deflate a page block: zlib error " + std::to_string(result));
    out.resize(size);
    return out;
}

}  // namespace

std::string packWords(const uint16_t* words, size_t count, const uint16_t* previous) {
    return pack(words, count, previous);
}

std::string packWords(const uint32_t* words, size_t count, const uint32_t* previous) {
    return pack(words, count, previous);
}

}  // namespace kestrin::formats
