// The figures the reliability runs report (cases tried, cycles run), printed
// as "reliability: WHAT = N" so that a run's log can be searched for them.
#ifndef KESTRIN_TESTS_RELIABILITY_COUNTS_H
#define KESTRIN_TESTS_RELIABILITY_COUNTS_H

#include <string>

namespace kestrin::test {

void recordCount(const std::string& what, long long count);

}  // namespace kestrin::test

#endif
