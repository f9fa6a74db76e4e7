// Numbers as the writers put them in text.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string_view>

#include "files/number_text.h"

namespace kestrin::formats {
namespace {

// Every coordinate of a written mesh goes through shortestDouble: it must be
// std::to_chars byte for byte, over every kind of double a file can hold.
TEST(ShortestDouble, WritesWhatToCharsWrites) {
    auto same = [](double value) {
        char ours[shortestDoubleRoom];
        char theirs[64];
        const std::string_view mine(ours, shortestDouble(value, ours));
        const std::string_view expected(theirs, std::to_chars(theirs, theirs + sizeof theirs, value).ptr - theirs);
        if (mine != expected) ADD_FAILURE() << "for " << expected << " wrote " << mine;
        return mine == expected;
    };
    const double limits[] = {0.0, -0.0, 1.0, -1.0, 0.1, 1e-4, 1e-3, 1e-5, 123456.0, 1e15, 1e16, 1e17, 1e21,
                             1e22, 1e23, 9007199254740991.0, 9007199254740992.0, 5e-324, 2.2250738585072014e-308,
                             1.7976931348623157e308, 0.30000000000000004, 100.0, 1200.0, 12345678.9, 1e100,
                             1e-100, std::numeric_limits<double>::infinity(), std::nan("")};
    for (double value : limits) {
        same(value);
        same(-value);
    }
    std::mt19937_64 random(20261208);
    int failures = 0;
    for (int i = 0; i < 400000 && failures < 10; ++i) {
        // Any bit pattern, coordinates of every scale, and round decimals
        // (short digit strings, where the layout choice is closest).
        const uint64_t bits = random();
        double anyBits;
        std::memcpy(&anyBits, &bits, sizeof anyBits);
        const double coordinate = std::ldexp(double(random() >> 11), int(random() % 120) - 113);
        const double round = double(int64_t(random() % 2000001) - 1000000) * std::pow(10.0, int(random() % 40) - 20);
        for (double value : {anyBits, coordinate, -coordinate, round}) failures += same(value) ? 0 : 1;
    }
}

}  // namespace
}  // namespace kestrin::formats
