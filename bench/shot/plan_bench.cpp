// Planning a rerun of a long shot into the folder that holds its outputs: a
// farm's retried chunk, or a shot made again after a change. The folder
// holds the 10,000 outputs of the first run (one file per frame) and the
// rerun checks the same 10,000 names before any work: every one resolved,
// compared with the inputs and the others, the folder listed for stale
// temporaries. Target: under 1 s.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "output_plan.h"

namespace {

namespace fs = std::filesystem;

constexpr int frames = 10000;

void planRerun(benchmark::State& state) {
    const fs::path folder = fs::temp_directory_path() / ("kestrin_plan_bench_" + std::to_string(getpid()));
    fs::create_directories(folder);
    std::vector<std::string> names;
    for (int frame = 1; frame <= frames; ++frame) {
        char name[32];
        std::snprintf(name, sizeof name, "w_%05d.csv", frame);
        names.push_back((folder / name).string());
        std::ofstream(names.back()) << "weight\n0\n";
    }
    const std::string rest = (folder / "rest.obj").string();
    const std::string cache = (folder / "shot.mdd").string();
    std::ofstream(rest) << "v 0 0 0\n";
    std::ofstream(cache) << "cache";
    const std::vector<kestrin::tool::RunInput> inputs = {{"rest mesh", rest}, {"pose", cache}};
    for (auto _ : state) benchmark::DoNotOptimize(kestrin::tool::planOutputs(names, inputs));
    state.counters["outputs"] = frames;
    fs::remove_all(folder);
}
BENCHMARK(planRerun)->Name("plan rerun of a 10,000-frame shot")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
