// Numbers as text: as the writers put them (no locale, no format string,
// appended to a buffer that becomes the whole file), as the readers take
// them, and as messages show them.
#ifndef KESTRIN_FORMATS_NUMBER_TEXT_H
#define KESTRIN_FORMATS_NUMBER_TEXT_H

#include <stddef.h>

#include <charconv>
#include <string>
#include <string_view>
#include <type_traits>

namespace kestrin::formats {

// Room shortestDouble needs: a sign, 17 digits, a point, "e-308".
constexpr size_t shortestDoubleRoom = 32;

// The shortest text that reads back as the same double, byte for byte what
// std::to_chars(first, last, value) writes (fixed or scientific, whichever
// is shorter, fixed on a tie), in about half its time: a corrected pose
// writes three of these per point. Returns the length written to `text`.
size_t shortestDouble(double value, char* text);

// The shortest text that reads back as the same value.
template <typename Number>
void appendShortest(std::string& out, Number value) {
    char text[48];
    static_assert(sizeof text >= shortestDoubleRoom);
    if constexpr (std::is_same_v<Number, double>) {
        out.append(text, shortestDouble(value, text));
    } else {
        const std::to_chars_result result = std::to_chars(text, text + sizeof text, value);
        out.append(text, static_cast<size_t>(result.ptr - text));
    }
}

// The shortest text that reads back as the same value, for a message: what
// it shows is the value itself ("-9.65e-12", not "-0.000000").
template <typename Number>
std::string shortestText(Number value) {
    std::string text;
    appendShortest(text, value);
    return text;
}

// The whole word as a number, as strtod reads decimal text in the "C"
// locale (an optional sign, digits, a point, an exponent, "nan", "inf"), but
// no hex floats and no space around it. False for anything else, the empty
// word included.
bool readDecimal(std::string_view word, double* value);

// printf's "%.9g": enough digits to give a float back exactly.
inline void appendNineDigits(std::string& out, float value) {
    char text[48];
    const std::to_chars_result result = std::to_chars(
        text, text + sizeof text, static_cast<double>(value), std::chars_format::general, 9);
    out.append(text, static_cast<size_t>(result.ptr - text));
}

}  // namespace kestrin::formats

#endif
