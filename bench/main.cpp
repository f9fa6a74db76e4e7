// Benchmarks of the plug-ins' passes, driven through the simulator as the
// host drives them, beside the direct computation of the same results.
// Each benchmark is named "<case>/<pass>"; the table after the run puts every
// plug-in pass beside the reference pass that does the same work.
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "alloc_count.h"
#include "cases.h"
#include "plugin_scene.h"
#include "reference.h"
#include "table.h"

namespace kestrin::bench {
namespace {

void setPoints(benchmark::State& state, const Case& c) {
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * c.points());
    state.counters[kPointsCounter] = c.points();
}

// Runs `pass` once per iteration with allocation counting on, and `between`
// before each, untimed and uncounted.
template <typename Between, typename Pass>
void timePasses(benchmark::State& state, Between between, Pass pass) {
    resetAllocationCount();
    for (auto _ : state) {
        state.PauseTiming();
        between();
        state.ResumeTiming();
        countAllocations(true);
        pass();
        countAllocations(false);
    }
    state.counters[kAllocsCounter] =
        static_cast<double>(allocationCount()) / static_cast<double>(state.iterations());
}

template <typename Pass>
void timePasses(benchmark::State& state, Pass pass) {
    resetAllocationCount();
    for (auto _ : state) {
        countAllocations(true);
        pass();
        countAllocations(false);
    }
    state.counters[kAllocsCounter] =
        static_cast<double>(allocationCount()) / static_cast<double>(state.iterations());
}

// Adjacency and rest lengths: what a Strainmark capture builds.
void referenceCapture(benchmark::State& state, const CaseSpec& caseSpec) {
    Case& c = useCase(caseSpec);
    size_t bytes = 0;
    timePasses(state, [&] {
        Neighbours neighbours = buildNeighbours(c.mesh);
        std::vector<double> rest(c.points());
        meanEdgeLengths(neighbours, c.mesh.rest.data(), rest.data());
        benchmark::DoNotOptimize(rest.data());
        bytes = neighbours.bytes() + rest.size() * sizeof(double);
    });
    setPoints(state, c);
    state.counters[kRestBytesCounter] = static_cast<double>(bytes) / c.points();
}

void referenceWeights(benchmark::State& state, const CaseSpec& caseSpec) {
    Case& c = useCase(caseSpec);
    c.prepareReference();
    const WeightSettings settings;
    timePasses(state, [&] {
        tensionWeights(c.neighbours, c.restLengths.data(), c.mesh.pose.data(), settings,
                       c.weights.data());
        benchmark::ClobberMemory();
    });
    setPoints(state, c);
}

// Adjacency, rest lengths and both targets' offsets: a Strainshaper capture.
void referenceSetup(benchmark::State& state, const CaseSpec& caseSpec) {
    Case& c = useCase(caseSpec);
    size_t bytes = 0;
    timePasses(state, [&] {
        const int32_t n = c.points();
        Neighbours neighbours = buildNeighbours(c.mesh);
        std::vector<double> rest(n);
        meanEdgeLengths(neighbours, c.mesh.rest.data(), rest.data());
        std::vector<Point3> stretch(n), squash(n);
        targetDeltas(n, c.mesh.rest.data(), c.stretchTarget.data(), nullptr, stretch.data());
        targetDeltas(n, c.mesh.rest.data(), c.squashTarget.data(), nullptr, squash.data());
        std::vector<double> tensions(n);
        benchmark::DoNotOptimize(squash.data());
        bytes = neighbours.bytes() + n * (sizeof(double) * 2 + sizeof(Point3) * 2);
    });
    setPoints(state, c);
    state.counters[kRestBytesCounter] = static_cast<double>(bytes) / c.points();
}

void referenceDisplace(benchmark::State& state, const CaseSpec& caseSpec) {
    Case& c = useCase(caseSpec);
    c.prepareReference();
    const MorphSettings settings;
    timePasses(state, [&] {
        displace(c.neighbours, c.restLengths.data(), c.mesh.pose.data(), nullptr,
                 c.stretchDeltas.data(), c.squashDeltas.data(), nullptr, settings,
                 c.tensions.data(), c.positions.data());
        benchmark::ClobberMemory();
    });
    setPoints(state, c);
}

// A capture, with the instance made afresh before each timed pass. A first
// capture makes what the host keeps from pass to pass (its pass buffers).
void timeCapture(benchmark::State& state, const CaseSpec& caseSpec,
                 void (*fresh)(PluginScene&), void (*capture)(PluginScene&)) {
    Case& c = useCase(caseSpec);
    PluginScene& scene = pluginScene(c);
    fresh(scene);
    capture(scene);
    fresh(scene);
    // What the capture of a fresh instance adds to the heap is the rest
    // state it keeps: the mesh's scan map is made with the instance.
    const size_t before = heapInUse();
    capture(scene);
    const double bytes = static_cast<double>(heapInUse() - before);
    timePasses(state, [&] { fresh(scene); }, [&] { capture(scene); });
    setPoints(state, c);
    state.counters[kRestBytesCounter] = bytes / c.points();
}

// A pass over a rest state captured once, before the first timed pass.
void timeLaterPass(benchmark::State& state, const CaseSpec& caseSpec,
                   bool PluginScene::*captured, void (*fresh)(PluginScene&),
                   void (*capture)(PluginScene&), void (*pass)(PluginScene&)) {
    Case& c = useCase(caseSpec);
    PluginScene& scene = pluginScene(c);
    if (!(scene.*captured)) {
        fresh(scene);
        capture(scene);
    }
    timePasses(state, [&] { pass(scene); });
    setPoints(state, c);
}

void strainmarkCapture(benchmark::State& state, const CaseSpec& caseSpec) {
    timeCapture(state, caseSpec, strainmarkFreshInstance, strainmarkCompute);
}

void strainmarkScan(benchmark::State& state, const CaseSpec& caseSpec) {
    timeLaterPass(state, caseSpec, &PluginScene::strainmarkCaptured, strainmarkFreshInstance,
                  strainmarkCompute, strainmarkCompute);
}

void grainmarkCapture(benchmark::State& state, const CaseSpec& caseSpec) {
    timeCapture(state, caseSpec, grainmarkFreshInstance, grainmarkCompute);
}

void grainmarkScan(benchmark::State& state, const CaseSpec& caseSpec) {
    timeLaterPass(state, caseSpec, &PluginScene::grainmarkCaptured, grainmarkFreshInstance, grainmarkCompute,
                  grainmarkCompute);
}

void strainshaperSetupPass(benchmark::State& state, const CaseSpec& caseSpec) {
    timeCapture(state, caseSpec, strainshaperFreshInstance, strainshaperSetup);
}

void strainshaperDisplacePass(benchmark::State& state, const CaseSpec& caseSpec) {
    timeLaterPass(state, caseSpec, &PluginScene::strainshaperCaptured, strainshaperFreshInstance,
                  strainshaperSetup, strainshaperDisplace);
}

struct Pass {
    const char* name;
    void (*run)(benchmark::State&, const CaseSpec&);
};

const Pass kPasses[] = {
    {"reference_capture", referenceCapture},   {"reference_weights", referenceWeights},
    {"reference_setup", referenceSetup},       {"reference_displace", referenceDisplace},
    {"strainmark_capture", strainmarkCapture}, {"strainmark_scan", strainmarkScan},
    {"strainshaper_setup", strainshaperSetupPass},   {"strainshaper_displace", strainshaperDisplacePass},
    {"grainmark_capture", grainmarkCapture},   {"grainmark_scan", grainmarkScan},
};

std::vector<CaseSpec> defaultCases() {
    return {
        {MeshKind::Grid, 10'000, "grid/10k"},
        {MeshKind::Grid, 100'000, "grid/100k"},
        {MeshKind::Grid, 1'000'000, "grid/1M"},
        {MeshKind::Grid, 4'000'000, "grid/4M"},
        {MeshKind::Sphere, 10'000, "sphere/10k"},
        {MeshKind::Sphere, 100'000, "sphere/100k"},
        {MeshKind::Sphere, 1'000'000, "sphere/1M"},
        // 100 000 triangles around one point, and a grid of the same number
        // of polygon corners (274 x 274 quads): 300 000 and 300 304.
        {MeshKind::Fan, 100'000, "fan/100k"},
        {MeshKind::Grid, 275 * 275, "grid/300k-corners"},
        {MeshKind::Isolated, 500'000, "isolated/500k+500k"},
    };
}

double fastest(const std::vector<double>& values) {
    return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

void registerAll() {
    for (const CaseSpec& caseSpec : defaultCases()) {
        for (const Pass& pass : kPasses) {
            const std::string name = caseSpec.label + "/" + pass.name;
            auto* benchmark = benchmark::RegisterBenchmark(
                name.c_str(), [caseSpec, run = pass.run](benchmark::State& state) { run(state, caseSpec); });
            // The machine may be shared: the fastest of five repetitions is
            // the one least disturbed.
            benchmark->Unit(benchmark::kMillisecond)
                ->MinTime(0.1)
                ->Repetitions(5)
                ->DisplayAggregatesOnly(true)
                ->ComputeStatistics(kFastestStatistic, fastest);
        }
    }
}

}  // namespace
}  // namespace kestrin::bench

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    kestrin::bench::registerAll();
    kestrin::bench::TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    kestrin::bench::dropCase();
    kestrin::bench::printTable(reporter.results(), stdout);
    benchmark::Shutdown();
    return 0;
}
