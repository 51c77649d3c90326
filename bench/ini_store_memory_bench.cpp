// Memory of a settings store that reads a 70 MB INI file (a large function name map): resident
// bytes per byte of the file, at the peak while reading and once read. A program of its own, so
// no earlier benchmark's heap is reused.

#include "ProcessMemory.h"
#include "host/IniSettingsStore.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

constexpr std::size_t kFileBytes = 70'000'000;

using zuta::bench::ResetPeak;
using zuta::bench::StatusBytes;

// The settings of the module with a function name map of about a million entries.
std::string WriteLargeIni() {
    const std::string path =
        (std::filesystem::temp_directory_path() / "zuta-ini-memory-bench.ini").string();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return {};
    std::fputs("[Performace Settings]\nCPU type=1\nIdle Task Name=CommPM_L\n\n[IRQ Mapping]\n",
               file);
    for (int irq = 0; irq < 256; ++irq)
        std::fprintf(file, "%d=IRQ_%d\n", irq, irq);
    std::fputs("\n[Fn Mapping]\n", file);
    std::size_t written = 0;
    for (unsigned n = 0; written < kFileBytes; ++n)
        written += static_cast<std::size_t>(
            std::fprintf(file, "%u=L1_Function_%u , %u\n", n, n * 7u % 100000u, n));
    std::fclose(file);
    return path;
}

void BM_IniStoreMemoryPerFileByte(benchmark::State& state) {
    const std::string path = WriteLargeIni();
    if (path.empty()) {
        state.SkipWithError("cannot write the INI file");
        return;
    }
    const double fileBytes = static_cast<double>(std::filesystem::file_size(path));
    for (auto _ : state) {
        const bool peakReset = ResetPeak();
        const std::size_t before = StatusBytes("VmRSS");
        auto store = std::make_unique<zuta::host::IniSettingsStore>(path);
        benchmark::DoNotOptimize(store->ReadString("Fn Mapping", "123456"));
        const std::size_t held = StatusBytes("VmRSS");
        const std::size_t peak = StatusBytes("VmHWM");
        state.counters["file_MB"] = fileBytes / 1e6;
        state.counters["held_MB"] = static_cast<double>(held - before) / 1e6;
        state.counters["peak_MB"] = static_cast<double>(peak > before ? peak - before : 0) / 1e6;
        state.counters["held_per_file_byte"] = static_cast<double>(held - before) / fileBytes;
        state.counters["peak_was_reset"] = peakReset ? 1 : 0;
    }
    std::filesystem::remove(path);
}

} // namespace

BENCHMARK(BM_IniStoreMemoryPerFileByte)->Iterations(1)->Unit(benchmark::kMillisecond);
