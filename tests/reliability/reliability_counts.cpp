#include "reliability_counts.h"

#include <cstdio>

namespace kestrin::test {

void recordCount(const std::string& what, long long count) {
    std::printf("reliability: %s = %lld\n", what.c_str(), count);
    std::fflush(stdout);
}

}  // namespace kestrin::test
