// Peak memory of a store of ten million samples filled from a framed full-record stream, in
// bytes per stored sample. A program of its own, so no earlier benchmark's heap is reused.

#include "ModemStream.h"
#include "ProcessMemory.h"
#include "collection/CollectionSession.h"
#include "host/MemorySettingsStore.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

constexpr std::size_t kTargetSamples = 10'000'000;

using zuta::bench::ResetPeak;
using zuta::bench::StatusBytes;

void BM_StoreMemoryPerSample(benchmark::State& state) {
    const zuta::bench::FramedStream stream =
        zuta::bench::MakeFramedStream(zuta::bench::StreamMode::Full, 8u << 20);
    for (auto _ : state) {
        const bool peakReset = ResetPeak();
        const std::size_t before = StatusBytes("VmRSS");

        zuta::host::MemorySettingsStore store;
        zuta::SessionServices services;
        services.settingsStore = &store;
        auto session = std::make_unique<zuta::CollectionSession>(services);
        session->settings().dumpPath = std::filesystem::temp_directory_path().string();
        zuta::CPerformanceData* data = &session->data();
        data->SetFinishDelay(std::chrono::milliseconds(0));
        zuta::bench::StartModemCollection(*data, zuta::bench::StreamMode::Full);

        std::uint32_t result = 0;
        std::size_t samples = 0;
        while (samples < kTargetSamples) {
            for (std::size_t offset = 0; offset < stream.bytes.size();
                 offset += zuta::bench::kBatchSize) {
                data->OnDataLinkData(
                    stream.bytes.data() + offset,
                    std::min(zuta::bench::kBatchSize, stream.bytes.size() - offset), result, true);
            }
            samples = data->Read([](const zuta::StoreState& s) { return s.samples.size(); });
        }
        data->FinishCollection();
        samples = data->Read([](const zuta::StoreState& s) { return s.samples.size(); });

        const std::size_t peak = StatusBytes("VmHWM");
        const double grown = static_cast<double>(peak > before ? peak - before : 0);
        state.counters["samples"] = static_cast<double>(samples);
        state.counters["peak_MiB"] = grown / (1024.0 * 1024.0);
        state.counters["bytes_per_sample"] = grown / static_cast<double>(samples);
        state.counters["peak_was_reset"] = peakReset ? 1 : 0;
    }
}

} // namespace

BENCHMARK(BM_StoreMemoryPerSample)->Iterations(1)->Unit(benchmark::kMillisecond);
