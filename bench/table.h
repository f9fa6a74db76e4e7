// The summary `make bench` prints after Google Benchmark's own report: per
// case and pass the time per point, the ratio to the direct computation of
// the same work in the same run, the rest state's bytes per point and the
// heap allocations per pass, then the performance targets.
#ifndef KESTRIN_BENCH_TABLE_H
#define KESTRIN_BENCH_TABLE_H

#include <stdio.h>

#include <string>
#include <vector>

#include <benchmark/benchmark.h>

namespace kestrin::bench {

// Counter names the pass benchmarks set.
inline constexpr const char* kPointsCounter = "points";
inline constexpr const char* kRestBytesCounter = "rest_B/pt";
inline constexpr const char* kAllocsCounter = "allocs/pass";
// The aggregate of the repetitions the table takes.
inline constexpr const char* kFastestStatistic = "fastest";

struct PassResult {
    std::string label;  // case, "grid/1M"
    std::string pass;   // "strainmark_scan"
    double secondsPerPass = 0.0;
    double points = 0.0;
    double restBytesPerPoint = -1.0;  // negative: not measured
    double allocsPerPass = -1.0;

    double nsPerPoint() const { return points > 0.0 ? secondsPerPass * 1e9 / points : 0.0; }
};

// Google Benchmark's console report, keeping every run's result for the table.
class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override;
    const std::vector<PassResult>& results() const { return results_; }

private:
    std::vector<PassResult> results_;
};

void printTable(const std::vector<PassResult>& results, FILE* out);

}  // namespace kestrin::bench

#endif
