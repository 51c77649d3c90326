// `zuta trace` of a ten-million-sample collection: the call and session models, then the trace
// written through a sink that only counts, so the memory it reports is the writer's own, whatever
// the size of the output.
#include "ProcessMemory.h"
#include "graphs/CpuSessions.h"
#include "graphs/FunctionCalls.h"
#include "graphs/TraceExport.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace {

using zuta::GraphSample;
using namespace zuta::graphs;

constexpr std::size_t kSamples = 10'000'000;
constexpr std::uint32_t kIdle = 1000;
constexpr std::uint32_t kFrame = 4;

// Runs of the idle task, eight tasks and two IRQs (one of them the frame interrupt), each task
// run with a small tree of calls after it and now and then a user event inside it.
std::vector<GraphSample> ModemSamples() {
    std::vector<GraphSample> samples;
    samples.reserve(kSamples);
    const auto push = [&samples](std::uint32_t kind, std::uint32_t id, std::uint32_t ticks) {
        GraphSample s;
        s.id = id;
        s.kind = kind;
        s.ticks = ticks;
        s.value0 = ticks * 2 / 3;
        s.value1 = ticks / 5;
        s.value2 = ticks / 15;
        samples.push_back(s);
    };
    for (std::uint32_t run = 0; samples.size() + 12 < kSamples; ++run) {
        switch (run % 6) {
        case 0:
            push(kSampleInterrupt, kFrame, 200);
            break;
        case 3:
            push(kSampleInterrupt, 9, 120);
            break;
        case 5:
            push(1, kIdle, 9000);
            break;
        default: {
            push(1, 1001 + run % 8, 1500);
            const std::uint32_t outer = run % 20;
            const std::uint32_t inner = (run + 7) % 20;
            push(kSampleFunctionEntry, outer, 40);
            push(kSampleFunctionEntry, inner, 30);
            if (run % 16 == 1)
                push(kSampleUserEvent, 3, 0);
            push(kSampleFunctionExit, inner, 35);
            push(kSampleFunctionEntry, inner, 10);
            push(kSampleFunctionExit, inner, 15);
            push(kSampleFunctionExit, outer, 45);
        }
        }
    }
    return samples;
}

void BM_WriteTrace(benchmark::State& state) {
    const std::vector<GraphSample> samples = ModemSamples();
    std::vector<TraceThread> threads = {{kIdle, zuta::kTypeTask, "CommPM_L"},
                                        {kFrame, zuta::kTypeIrq, "FrameInt"},
                                        {9, zuta::kTypeIrq, "GSMIRQCTRL"}};
    for (std::uint32_t t = 1; t <= 8; ++t)
        threads.push_back(
            {1000 + t, t % 3 == 0 ? zuta::kTypeHisr : zuta::kTypeTask, "Task" + std::to_string(t)});
    std::map<std::uint32_t, std::string> functions;
    for (std::uint32_t f = 0; f < 20; ++f)
        functions[f] = "Fn" + std::to_string(f);

    for (auto _ : state) {
        const FunctionCallSet calls = BuildFunctionCalls(samples);
        CpuSessionSet sessions;
        BuildCpuSessions(samples, kFrame, kIdle, 208.0, sessions);
        TraceInput input;
        input.samples = samples;
        input.threads = threads;
        input.functionNames = &functions;
        input.calls = calls.calls;
        input.sessions = sessions.sessions;
        input.ticksPerMicrosecond = 208.0;

        const bool peakReset = zuta::bench::ResetPeak();
        const std::size_t before = zuta::bench::StatusBytes("VmRSS");
        std::size_t bytes = 0;
        const auto start = std::chrono::steady_clock::now();
        WriteTrace(input, [&bytes](std::string_view text) {
            bytes += text.size();
            benchmark::DoNotOptimize(text.data());
            return true;
        });
        const std::chrono::duration<double> writing = std::chrono::steady_clock::now() - start;
        const std::size_t peak = zuta::bench::StatusBytes("VmHWM");
        state.counters["write_samples_per_s"] =
            static_cast<double>(samples.size()) / writing.count();
        state.counters["output_MiB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
        state.counters["write_peak_KiB"] =
            static_cast<double>(peak > before ? peak - before : 0) / 1024.0;
        state.counters["peak_was_reset"] = peakReset ? 1 : 0;
        state.counters["calls"] = static_cast<double>(calls.calls.size());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(samples.size()));
}
BENCHMARK(BM_WriteTrace)->Iterations(2)->Unit(benchmark::kMillisecond);

} // namespace
