// Building the calls of a collection's function events: two passes over the graph samples, which
// the function call graph and `zuta calls` do when they open.
#include "graphs/CpuSessions.h"
#include "graphs/FunctionCalls.h"

#include <benchmark/benchmark.h>
#include <vector>

namespace {

using zuta::GraphSample;

// Runs of eight tasks, each with a small tree of calls (three levels, 20 functions) after it:
// `events` function events in all.
std::vector<GraphSample> CallStream(std::size_t events) {
    std::vector<GraphSample> samples;
    samples.reserve(events + events / 12 + 1);
    const auto push = [&samples](std::uint32_t kind, std::uint32_t id, std::uint32_t ticks) {
        GraphSample s;
        s.id = id;
        s.kind = kind;
        s.ticks = ticks;
        samples.push_back(s);
    };
    using zuta::graphs::kSampleFunctionEntry;
    using zuta::graphs::kSampleFunctionExit;
    std::size_t made = 0;
    for (std::uint32_t run = 0; made < events; ++run) {
        push(run % 5 == 4 ? zuta::graphs::kSampleInterrupt : 1, 1001 + run % 8, 5000);
        const std::uint32_t outer = run % 20;
        const std::uint32_t inner = (run + 7) % 20;
        push(kSampleFunctionEntry, outer, 40);
        push(kSampleFunctionEntry, inner, 30);
        push(kSampleFunctionEntry, outer, 20); // recursion
        push(kSampleFunctionExit, outer, 25);
        push(kSampleFunctionExit, inner, 35);
        push(kSampleFunctionEntry, inner, 10);
        push(kSampleFunctionExit, inner, 15);
        push(kSampleFunctionExit, outer, 45);
        // Now and then an exit without an enter and an enter without an exit.
        if (run % 97 == 0) {
            push(kSampleFunctionExit, 19, 5);
            push(kSampleFunctionEntry, 18, 5);
            made += 2;
        }
        made += 8;
    }
    return samples;
}

void BM_BuildFunctionCalls(benchmark::State& state) {
    const auto samples = CallStream(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        auto set = zuta::graphs::BuildFunctionCalls(samples);
        benchmark::DoNotOptimize(set.calls.data());
        state.counters["calls"] = static_cast<double>(set.calls.size());
        state.counters["maxDepth"] = set.maxDepth;
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BuildFunctionCalls)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

} // namespace
