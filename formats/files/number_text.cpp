#include "files/number_text.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include <fast_float/fast_float.h>

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

constexpr char digitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

constexpr uint64_t powersOfTen[] = {1ull,
                                    10ull,
                                    100ull,
                                    1000ull,
                                    10000ull,
                                    100000ull,
                                    1000000ull,
                                    10000000ull,
                                    100000000ull,
                                    1000000000ull,
                                    10000000000ull,
                                    100000000000ull,
                                    1000000000000ull,
                                    10000000000000ull,
                                    100000000000000ull,
                                    1000000000000000ull,
                                    10000000000000000ull,
                                    100000000000000000ull};

// How many decimal digits a shortest significand (1 to 17 digits) has.
int digitCount(uint64_t value) {
    int count = 1;
    while (count < 17 && value >= powersOfTen[count]) ++count;
    return count;
}

// Eight digits of `value` (< 10^8), zeros first: four pairs that depend on
// two divisions, not a chain of eight.
void writeEight(uint32_t value, char* text) {
    const uint32_t high = value / 10000;
    const uint32_t low = value % 10000;
    std::memcpy(text, digitPairs + 2 * (high / 100), 2);
    std::memcpy(text + 2, digitPairs + 2 * (high % 100), 2);
    std::memcpy(text + 4, digitPairs + 2 * (low / 100), 2);
    std::memcpy(text + 6, digitPairs + 2 * (low % 100), 2);
}

// The `count` digits of `value` (< 10^9) at `text`, two at a time from the
// right, in 32-bit arithmetic.
void writeShort(uint32_t value, int count, char* text) {
    char* at = text + count;
    while (value >= 100) {
        at -= 2;
        std::memcpy(at, digitPairs + 2 * (value % 100), 2);
        value /= 100;
    }
    if (value >= 10) {
        std::memcpy(at - 2, digitPairs + 2 * value, 2);
    } else {
        at[-1] = static_cast<char>('0' + value);
    }
}

// The `count` decimal digits of `value` at `text`. Written where they stand,
// never through a buffer read back whole: a wide load of bytes just stored
// two at a time stalls until the stores are done.
void writeDigits(uint64_t value, int count, char* text) {
    if (count <= 8) return writeShort(static_cast<uint32_t>(value), count, text);
    writeShort(static_cast<uint32_t>(value / 100000000), count - 8, text);
    writeEight(static_cast<uint32_t>(value % 100000000), text + count - 8);
}

}  // namespace

bool readDecimal(std::string_view word, double* value) {
    const char* first = word.data();
    const char* last = first + word.size();
    if (first < last && *first == '+') {
        ++first;
        if (first < last && (*first == '+' || *first == '-')) return false;
    }
    const fast_float::from_chars_result result = fast_float::from_chars(first, last, *value);
    return result.ec == std::errc() && result.ptr == last && first < last;
}

size_t shortestDouble(double value, char* text) {
    const double size = std::fabs(value);
    if (!(size < paddedFrom) || size == 0.0) {
        return static_cast<size_t>(std::to_chars(text, text + shortestDoubleRoom, value).ptr - text);
    }
    // The shortest digits that read back as the value, nearest to it (the
    // same digits std::to_chars finds), without trailing zeros; only the
    // layout is ours.
    const auto decimal = fmt::detail::dragonbox::to_decimal(value);
    const uint64_t significand = decimal.significand;
    const int count = digitCount(significand);
    // Digits before the decimal point in the fixed layout (<= 0: "0." and
    // zeros first).
    const int point = count + decimal.exponent;
    const int fixedLength = point >= count ? point : point > 0 ? count + 1 : 2 - point + count;
    const int scientificExponent = point - 1;
    const int exponentDigits = std::abs(scientificExponent) >= 100 ? 3 : 2;
    const int scientificLength = count + (count > 1 ? 1 : 0) + 2 + exponentDigits;

    // Without a branch: signs of coordinates come in no order a predictor
    // could follow.
    char* at = text;
    *at = '-';
    at += std::signbit(value) ? 1 : 0;
    if (fixedLength <= scientificLength) {
        if (point >= count) {
            writeDigits(significand, count, at);
            std::memset(at + count, '0', static_cast<size_t>(point - count));
            return static_cast<size_t>(at + point - text);
        }
        if (point <= 0) {
            at[0] = '0';
            at[1] = '.';
            for (int i = 0; i < -point; ++i) at[2 + i] = '0';
            writeDigits(significand, count, at + 2 - point);
            return static_cast<size_t>(at + fixedLength - text);
        }
        // The digits one place right, then the integer part back over the
        // gap, and the point after it.
        writeDigits(significand, count, at + 1);
        for (int i = 0; i < point; ++i) at[i] = at[i + 1];
        at[point] = '.';
        return static_cast<size_t>(at + count + 1 - text);
    }
    writeDigits(significand, count, at + 1);
    at[0] = at[1];
    if (count > 1) {
        at[1] = '.';
        at += count + 1;
    } else {
        at += 1;
    }
    *at++ = 'e';
    *at++ = scientificExponent < 0 ? '-' : '+';
    const int magnitude = std::abs(scientificExponent);
    if (exponentDigits == 3) *at++ = static_cast<char>('0' + magnitude / 100);
    std::memcpy(at, digitPairs + 2 * (magnitude % 100), 2);
    return static_cast<size_t>(at + 2 - text);
}

}  // namespace kestrin::formats
