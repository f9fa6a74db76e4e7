// How the shot page packs its arrays of 16- and 32-bit words so that a long
// shot of a large mesh stays a page a browser opens: each word less its
// prediction (the same word of the previous frame, when the caller has one,
// else the word before it; wrapping, so exact whatever the values), the
// differences split into byte planes (every word's low byte, then every
// next byte), deflated (zlib). The page's viewer undoes the three steps
// (formats/page/page_data.js), inflating with the browser's own
// DecompressionStream. Small moves between frames and smooth values along a
// mesh leave differences near 0, whose planes are mostly runs of 0x00 and
// 0xff that deflate squeezes.
#ifndef KESTRIN_FORMATS_PACKED_WORDS_H
#define KESTRIN_FORMATS_PACKED_WORDS_H

#include <stddef.h>
#include <stdint.h>

#include <string>

namespace kestrin::formats {

// The packed bytes of `count` words; `previous` (count words) or null for the
// word-before prediction. Throws FormatError when zlib fails.
std::string packWords(const uint16_t* words, size_t count, const uint16_t* previous);
std::string packWords(const uint32_t* words, size_t count, const uint32_t* previous);

}  // namespace kestrin::formats

#endif
