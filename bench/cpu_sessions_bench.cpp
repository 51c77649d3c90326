// Cutting a long collection into CPU-usage sessions: one pass over the graph samples, which the
// CPU graph does when it opens and on every Refresh.
#include "graphs/CpuSessions.h"

#include <benchmark/benchmark.h>
#include <vector>

namespace {

using zuta::GraphSample;

// A modem-like stream: a frame interrupt every 40 samples, the idle task, tasks and HISRs, an
// interrupt and a user event now and then.
std::vector<GraphSample> FrameStream(std::size_t count) {
    std::vector<GraphSample> samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        GraphSample& s = samples[i];
        s.ticks = 100 + static_cast<std::uint32_t>(i % 97) * 13;
        if (i % 40 == 39) {
            s.id = 4;
            s.kind = zuta::graphs::kSampleInterrupt;
        } else if (i % 7 == 0) {
            s.id = 1000;
        } else if (i % 53 == 0) {
            s.id = 3;
            s.kind = zuta::graphs::kSampleUserEvent;
        } else {
            s.id = 1001 + static_cast<std::uint32_t>(i % 11);
        }
    }
    return samples;
}

void BM_BuildCpuSessions(benchmark::State& state) {
    const auto samples = FrameStream(static_cast<std::size_t>(state.range(0)));
    zuta::graphs::CpuSessionSet set;
    for (auto _ : state) {
        zuta::graphs::BuildCpuSessions(samples, 4, 1000, 208.0, set);
        benchmark::DoNotOptimize(set.sessions.data());
    }
    state.counters["sessions"] = static_cast<double>(set.sessions.size());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BuildCpuSessions)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);

} // namespace
