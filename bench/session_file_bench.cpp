// Session file speed: saving and loading a collection of 10 million samples, in samples per
// second, next to reading the same file's bytes (the floor any loader stands on). The file lives
// in the system's temporary folder; the page cache holds it after the first pass, so the figures
// are the formatting and scanning cost, not the disk's. Also the raw log import of a log whose
// lines all take the time stamp of one very long stamp before them.

#include "collection/CollectionSession.h"
#include "engine/PerformanceData.h"
#include "files/RawLogImport.h"
#include "files/SessionFile.h"
#include "host/MemorySettingsStore.h"
#include "settings/PerformanceSettings.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kSamples = 10'000'000;

// The collection of a view, without its links.
struct Store {
    static zuta::SessionServices Services(zuta::host::MemorySettingsStore& store) {
        zuta::SessionServices services;
        services.settingsStore = &store;
        return services;
    }
    zuta::host::MemorySettingsStore settingsStore;
    zuta::CollectionSession session{Services(settingsStore)};
    zuta::PerformanceSettings& settings = session.settings();
    zuta::CPerformanceData& data = session.data();
};

// A collection shaped like a real one: 40 tasks, IRQs and functions, run samples with function
// events between them, counters of a few digits to ten digits.
void Fill(zuta::CPerformanceData& data) {
    data.Write([](zuta::StoreState& s) {
        std::vector<std::uint32_t> ids;
        for (std::uint32_t t = 0; t < 24; ++t) {
            s.AddOrUpdateTask("Task" + std::to_string(t), 1000 + t, t % 3 == 0 ? 1 : 0);
            ids.push_back(1000 + t);
        }
        for (std::uint32_t irq = 0; irq < 8; ++irq) {
            s.AddOrUpdateTask("IRQ" + std::to_string(irq), irq, 2);
            ids.push_back(irq);
        }
        for (std::uint32_t f = 0; f < 8; ++f)
            s.AddOrUpdateTask("Fn" + std::to_string(f), 5000 + f, 3 + f % 2);
        std::uint32_t x = 2463534242u;
        for (std::size_t i = 0; i < kSamples; ++i) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            zuta::SampleRecord r;
            if (i % 8 == 7) {
                r.id = 5000 + x % 8;
                r.kind = 4 + (x >> 8) % 2;
            } else {
                r.id = ids[x % ids.size()];
                r.kind = r.id < 256 ? 3 : 1;
            }
            r.ticks = x % 200000;
            r.value0 = x >> 12;
            r.value1 = x % 5000;
            r.value2 = (x >> 20) % 700;
            r.value3 = x;
            s.samples.push_back(r);
        }
    });
}

// A temporary file name, removed at exit.
struct TempFile {
    TempFile() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "zuta-session-bench-XXXXXX").string();
        const int fd = ::mkstemp(pattern.data());
        if (fd >= 0)
            ::close(fd);
        path = pattern;
    }
    ~TempFile() {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
    std::string path;
};

const std::string& SessionPath() {
    static const TempFile file;
    return file.path;
}

Store& SourceStore() {
    static const std::unique_ptr<Store> store = [] {
        auto s = std::make_unique<Store>();
        Fill(s->data);
        return s;
    }();
    return *store;
}

// The file written once, for the benchmarks that read it.
const std::string& SavedSession() {
    static const bool written = [] {
        std::string error;
        const bool ok = zuta::SaveSessionFile(SourceStore().data, SessionPath(), error);
        if (!ok)
            std::fprintf(stderr, "cannot write the session file: %s\n", error.c_str());
        return ok;
    }();
    static_cast<void>(written);
    return SessionPath();
}

void SetCounters(benchmark::State& state, std::uint64_t fileBytes) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSamples));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fileBytes));
    state.counters["samples_per_s"] = benchmark::Counter(
        static_cast<double>(kSamples), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_SaveSession(benchmark::State& state) {
    Store& store = SourceStore();
    std::string error;
    for (auto _ : state) {
        if (!zuta::SaveSessionFile(store.data, SessionPath(), error)) {
            state.SkipWithError(error.c_str());
            return;
        }
    }
    SetCounters(state, std::filesystem::file_size(SessionPath()));
}

void BM_LoadSession(benchmark::State& state) {
    const std::string& path = SavedSession();
    Store target;
    std::string error;
    for (auto _ : state) {
        if (!zuta::LoadSessionFile(target.data, path, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
    }
    SetCounters(state, std::filesystem::file_size(path));
}

// Reading the file's bytes in the loader's block size, doing nothing with them.
void BM_ReadFileBytes(benchmark::State& state) {
    const std::string& path = SavedSession();
    std::vector<char> block(std::size_t{1} << 20);
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (file == nullptr) {
            state.SkipWithError("cannot open the session file");
            return;
        }
        std::size_t total = 0;
        for (std::size_t got; (got = std::fread(block.data(), 1, block.size(), file)) > 0;)
            total += got;
        std::fclose(file);
        benchmark::DoNotOptimize(total);
    }
    SetCounters(state, std::filesystem::file_size(path));
}

// A raw log whose first time stamp is a megabyte of digits, followed by `lines` lines without
// one: each of them has the time of that stamp, which is not read again line by line. Linear: ten
// times the lines take ten times as long.
std::string LongTimeStampLog(std::int64_t lines) {
    std::string text = "0001:Main_THREAD (3) @" + std::string(1'000'000, '7') + "\n";
    for (std::int64_t i = 0; i < lines; ++i)
        text += "0002:Main_THREAD (3)\n";
    return text;
}

void BM_ImportRawLogLongTimeStamp(benchmark::State& state) {
    const std::string log = LongTimeStampLog(state.range(0));
    Store target;
    std::string error;
    for (auto _ : state) {
        if (!zuta::ImportRawLogData(target.data, log, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * (state.range(0) + 1));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(log.size()));
}

} // namespace

BENCHMARK(BM_ImportRawLogLongTimeStamp)
    ->Arg(24'000)
    ->Arg(240'000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_SaveSession)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_LoadSession)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_ReadFileBytes)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
