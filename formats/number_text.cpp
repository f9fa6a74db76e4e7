#include "number_text.h"

#include <cmath>
#include <cstdint>
#include <cstring>

// Header-only, so that every build (the 32-bit one included) has it without
// a library of its architecture.
#define FMT_HEADER_ONLY
#include <fmt/format.h>

namespace kestrin::formats {
namespace {

// Values from here on may have an integer part longer than their shortest
// digits, which std::to_chars writes out exactly rather than padded with
// zeros: those, and the rare values that are not finite or are zero, are
// left to it.
constexpr double paddedFrom = 9007199254740992.0;  // 2^53

// The decimal digits of `value` at `text`; returns how many.
int writeDigits(uint64_t value, char* text) {
    char reversed[20];
    int count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = 0; i < count; ++i) text[i] = reversed[count - 1 - i];
    return count;
}

}  // namespace

size_t shortestDouble(double value, char* text) {
    const double size = std::fabs(value);
    if (!(size < paddedFrom) || size == 0.0) {
        return static_cast<size_t>(std::to_chars(text, text + shortestDoubleRoom, value).ptr - text);
    }
    // The shortest digits that read back as the value, nearest to it: the
    // same digits std::to_chars finds; only the layout is ours.
    auto decimal = fmt::detail::dragonbox::to_decimal(value);
    uint64_t significand = decimal.significand;
    int exponent = decimal.exponent;
    while (significand % 10 == 0) {
        significand /= 10;
        ++exponent;
    }
    char digits[20];
    const int count = writeDigits(significand, digits);
    // Digits before the decimal point in the fixed layout (<= 0: "0." and
    // zeros first).
    const int point = count + exponent;
    const int fixedLength = point >= count ? point : point > 0 ? count + 1 : 2 - point + count;
    const int scientificExponent = point - 1;
    const int exponentDigits = std::abs(scientificExponent) >= 100 ? 3 : 2;
    const int scientificLength = count + (count > 1 ? 1 : 0) + 2 + exponentDigits;

    char* at = text;
    if (value < 0) *at++ = '-';
    if (fixedLength <= scientificLength) {
        if (point >= count) {
            std::memcpy(at, digits, static_cast<size_t>(count));
            std::memset(at + count, '0', static_cast<size_t>(point - count));
            at += point;
        } else if (point > 0) {
            std::memcpy(at, digits, static_cast<size_t>(point));
            at[point] = '.';
            std::memcpy(at + point + 1, digits + point, static_cast<size_t>(count - point));
            at += count + 1;
        } else {
            *at++ = '0';
            *at++ = '.';
            std::memset(at, '0', static_cast<size_t>(-point));
            at += -point;
            std::memcpy(at, digits, static_cast<size_t>(count));
            at += count;
        }
    } else {
        *at++ = digits[0];
        if (count > 1) {
            *at++ = '.';
            std::memcpy(at, digits + 1, static_cast<size_t>(count - 1));
            at += count - 1;
        }
        *at++ = 'e';
        *at++ = scientificExponent < 0 ? '-' : '+';
        const int magnitude = std::abs(scientificExponent);
        if (exponentDigits == 3) *at++ = static_cast<char>('0' + magnitude / 100);
        *at++ = static_cast<char>('0' + magnitude / 10 % 10);
        *at++ = static_cast<char>('0' + magnitude % 10);
    }
    return static_cast<size_t>(at - text);
}

}  // namespace kestrin::formats
