// Engine throughput: data-link batches through OnDataLinkData, the two decoding stages alone, and
// graph samples of a large store. Every decoding benchmark copies the same bytes in the same
// batches with memcpy in the same run; x_memcpy is the decoder's bandwidth over memcpy's. Times are
// the thread's CPU time.

#include "ModemStream.h"
#include "collection/CollectionSession.h"
#include "engine/PerformanceData.h"
#include "engine/RecordDecoder.h"
#include "engine/StreamDecoder.h"
#include "host/MemorySettingsStore.h"
#include "settings/PerformanceSettings.h"

#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

using zuta::bench::FramedStream;
using zuta::bench::kBatchSize;
using zuta::bench::StreamMode;

constexpr std::size_t kStreamBytes = 8u << 20;
constexpr std::size_t kGraphSamples = 10'000'000;

const FramedStream& Stream(StreamMode mode) {
    static const FramedStream full = zuta::bench::MakeFramedStream(StreamMode::Full, kStreamBytes);
    static const FramedStream simple =
        zuta::bench::MakeFramedStream(StreamMode::Simple, kStreamBytes);
    static const FramedStream ext =
        zuta::bench::MakeFramedStream(StreamMode::ExternalTs, kStreamBytes);
    switch (mode) {
    case StreamMode::Simple:
        return simple;
    case StreamMode::ExternalTs:
        return ext;
    case StreamMode::Full:
        break;
    }
    return full;
}

template <class F> void ForEachBatch(const zuta::wire::Bytes& bytes, F&& f) {
    for (std::size_t offset = 0; offset < bytes.size(); offset += kBatchSize)
        f(bytes.data() + offset, std::min(kBatchSize, bytes.size() - offset), offset);
}

// The bandwidth reference: the same bytes copied in the same batches into a buffer as large.
void CopyInBatches(const zuta::wire::Bytes& source, zuta::wire::Bytes& target) {
    ForEachBatch(source, [&](const std::uint8_t* batch, std::size_t length, std::size_t offset) {
        std::memcpy(target.data() + offset, batch, length);
    });
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
}

// CPU time of this thread, so that other processes on a shared machine do not count.
double ThreadSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

template <class F> double Seconds(F&& f) {
    const double start = ThreadSeconds();
    f();
    return ThreadSeconds() - start;
}

// Times `pass` over the stream (after an untimed `setup`) against memcpy of the same batches.
// Before either is timed the stream and the copy target are read and written once, so both start
// from the same cache state. Reports the pass's stream bytes/s, records/s and x_memcpy.
template <class Setup, class Pass>
void MeasureAgainstMemcpy(benchmark::State& state, const FramedStream& stream, Setup&& setup,
                          Pass&& pass) {
    zuta::wire::Bytes target(stream.bytes.size(), 0);
    setup();
    pass(); // warms allocations and lazily built tables
    double copySeconds = 0.0;
    double passSeconds = 0.0;
    for (auto _ : state) {
        setup();
        CopyInBatches(stream.bytes, target);
        copySeconds += Seconds([&] { CopyInBatches(stream.bytes, target); });
        CopyInBatches(stream.bytes, target);
        const double seconds = Seconds(pass);
        passSeconds += seconds;
        state.SetIterationTime(seconds);
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.bytes.size()));
    state.counters["records_per_second"] = benchmark::Counter(
        static_cast<double>(stream.records), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["memcpy_GBps"] =
        static_cast<double>(stream.bytes.size()) * iterations / copySeconds / 1e9;
    state.counters["x_memcpy"] = copySeconds / passSeconds;
}

class CountingView final : public zuta::ICollectionView {
public:
    void PostNotification(std::uint32_t, std::uint32_t) override { ++count; }
    void RefreshTableNow() override {}
    void RunNewTaskData() override {}
    void ArmTableRefresh() override {}
    std::atomic<std::uint64_t> count{0};
};

// The collection of a view, minus the output window and the links.
struct ViewStore {
    ViewStore() {
        settings.dumpPath = std::filesystem::temp_directory_path().string();
        data.SetFinishDelay(std::chrono::milliseconds(0));
    }

    static zuta::SessionServices Services(zuta::host::MemorySettingsStore& store,
                                          CountingView& view) {
        zuta::SessionServices services;
        services.settingsStore = &store;
        services.view = &view;
        return services;
    }

    zuta::host::MemorySettingsStore store;
    CountingView sink;
    zuta::CollectionSession session{Services(store, sink)};
    zuta::PerformanceSettings& settings = session.settings();
    zuta::CPerformanceData& data = session.data();
};

void BM_Memcpy(benchmark::State& state) {
    const FramedStream& stream = Stream(static_cast<StreamMode>(state.range(0)));
    zuta::wire::Bytes target(stream.bytes.size(), 0);
    CopyInBatches(stream.bytes, target);
    for (auto _ : state)
        CopyInBatches(stream.bytes, target);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.bytes.size()));
}

void BM_OnDataLinkData(benchmark::State& state) {
    const auto mode = static_cast<StreamMode>(state.range(0));
    const FramedStream& stream = Stream(mode);
    ViewStore store;
    std::uint32_t result = 0;
    MeasureAgainstMemcpy(
        state, stream, [&] { zuta::bench::StartModemCollection(store.data, mode); },
        [&] {
            ForEachBatch(stream.bytes,
                         [&](const std::uint8_t* batch, std::size_t length, std::size_t) {
                             store.data.OnDataLinkData(batch, length, result, true);
                         });
        });
    state.counters["stored_samples"] = static_cast<double>(
        store.data.Read([](const zuta::StoreState& s) { return s.samples.size(); }));
}

// Stream and record decoding of full records without run building.
void BM_StreamAndRecordDecoding(benchmark::State& state) {
    const FramedStream& stream = Stream(StreamMode::Full);
    auto streamDecoder = std::make_unique<zuta::StreamDecoder>();
    auto recordDecoder = std::make_unique<zuta::RecordDecoder>();
    zuta::StreamTiming timing;
    std::vector<std::uint8_t> payload;
    std::vector<zuta::SampleRecord> records;
    const zuta::RecordDecoder::RawBlockHandler noRawBlocks;
    std::size_t decoded = 0;
    MeasureAgainstMemcpy(
        state, stream,
        [&] {
            streamDecoder = std::make_unique<zuta::StreamDecoder>();
            recordDecoder = std::make_unique<zuta::RecordDecoder>();
            timing.Reset();
            decoded = 0;
        },
        [&] {
            ForEachBatch(stream.bytes,
                         [&](const std::uint8_t* batch, std::size_t length, std::size_t) {
                             payload.clear();
                             streamDecoder->DecodeFramedStream(batch, length, payload, nullptr);
                             records.clear();
                             recordDecoder->DecodeRecords(payload.data(), payload.size(),
                                                          zuta::RecordLayout::Full, timing, records,
                                                          noRawBlocks);
                             decoded += records.size();
                             benchmark::DoNotOptimize(records.data());
                         });
        });
    if (decoded != stream.records)
        state.SkipWithError("the decoder did not find every record");
}

// A store of kGraphSamples samples, filled through ready-made record messages (type 1).
ViewStore& LargeStore() {
    static ViewStore* store = [] {
        auto* s = new ViewStore;
        zuta::bench::StartModemCollection(s->data, StreamMode::Full);
        zuta::bench::ModemActivity activity;
        zuta::bench::Rng rng(7);
        constexpr std::size_t kPerMessage =
            zuta::wire::kMaxMessagePayload / zuta::wire::kWireSampleRecordSize;
        std::vector<zuta::SampleRecord> records;
        std::uint32_t result = 0;
        for (std::size_t left = kGraphSamples; left > 0;) {
            records.clear();
            const std::size_t n = std::min(left, kPerMessage);
            for (std::size_t i = 0; i < n; ++i) {
                zuta::SampleRecord r = activity.Next();
                switch (static_cast<zuta::RecordKind>(r.kind)) {
                case zuta::RecordKind::TaskSwitch:
                    r.id += zuta::wire::kTaskIdBase;
                    break;
                case zuta::RecordKind::UserEvent:
                    r.id += zuta::wire::kUserEventIdBase;
                    break;
                case zuta::RecordKind::FunctionEnter:
                case zuta::RecordKind::FunctionExit:
                    r.id += zuta::wire::kFunctionIdBase;
                    break;
                case zuta::RecordKind::IrqSwitch:
                    break;
                }
                r.ticks = rng.Range(0, 15);
                records.push_back(r);
            }
            const zuta::wire::Bytes message = zuta::wire::AgentMessage(
                zuta::wire::kMsgRecords, zuta::wire::RecordsPayload(records));
            s->data.OnCommandLinkMessage(message.data(), message.size(), result);
            left -= n;
        }
        s->data.FinishCollection();
        return s;
    }();
    return *store;
}

void BM_BuildGraphSamples(benchmark::State& state) {
    zuta::CPerformanceData& data = LargeStore().data;
    const bool withFunctionEvents = state.range(0) != 0;
    std::vector<zuta::GraphSample> graph;
    data.BuildGraphSamples(graph, withFunctionEvents); // the output buffer is touched before timing
    const std::size_t samples =
        data.Read([](const zuta::StoreState& s) { return s.samples.size(); });
    for (auto _ : state) {
        graph.clear();
        data.BuildGraphSamples(graph, withFunctionEvents);
        benchmark::DoNotOptimize(graph.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(samples));
    state.counters["stored_samples"] = static_cast<double>(samples);
    state.counters["graph_samples"] = static_cast<double>(graph.size());
}

void ModeArgs(benchmark::internal::Benchmark* b) {
    b->ArgName("mode");
    for (const StreamMode mode : {StreamMode::Full, StreamMode::Simple, StreamMode::ExternalTs})
        b->Arg(static_cast<int>(mode));
}

} // namespace

// mode: 0 full records, 1 simple, 2 external TS.
BENCHMARK(BM_Memcpy)->Apply(ModeArgs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OnDataLinkData)->Apply(ModeArgs)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StreamAndRecordDecoding)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildGraphSamples)
    ->ArgName("withFunctionEvents")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond);
