// Numbers as the writers put them in text: std::to_chars, no locale, no
// format string, appended to a buffer that becomes the whole file.
#ifndef KESTRIN_FORMATS_NUMBER_TEXT_H
#define KESTRIN_FORMATS_NUMBER_TEXT_H

#include <charconv>
#include <string>

namespace kestrin::formats {

// The shortest text that reads back as the same value.
template <typename Number>
void appendShortest(std::string& out, Number value) {
    char text[48];
    const std::to_chars_result result = std::to_chars(text, text + sizeof text, value);
    out.append(text, static_cast<size_t>(result.ptr - text));
}

// printf's "%.9g": enough digits to give a float back exactly.
inline void appendNineDigits(std::string& out, float value) {
    char text[48];
    const std::to_chars_result result = std::to_chars(
        text, text + sizeof text, static_cast<double>(value), std::chars_format::general, 9);
    out.append(text, static_cast<size_t>(result.ptr - text));
}

}  // namespace kestrin::formats

#endif
