// How long the window thread's event loop stalls while the live task table of a 200-task
// collection is refreshed twice a second and a link thread feeds the store at the agent's burst
// rate (a switch record every 50 us). A 1 ms timer on the window thread notes the longest gap
// between its ticks; the counter max_stall_ms must stay well under 50.
#include "BenchWindow.h"
#include "Performance/TaskTableWidget.h"
#include "agent/GroundTruth.h"
#include "agent/StreamBuilder.h"
#include "agent/Workload.h"
#include "collection/CollectionSession.h"
#include "collection/TaskTable.h"
#include "engine/PerformanceData.h"
#include "engine/WireEncoder.h"
#include "engine/WireFormat.h"
#include "host/MemorySettingsStore.h"
#include "host/OutputWindow.h"
#include "settings/PerformanceSettings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

namespace {

using namespace zuta;
using Clock = std::chrono::steady_clock;

constexpr int kTasks = 120;
constexpr int kHisrs = 40;
constexpr int kIrqs = 40;
// The agent's interrupt storm: one switch record every 50 us of target time.
constexpr std::uint64_t kSwitchPeriod = 50 * agent::kTicksPerMicrosecond;
constexpr std::size_t kBlockSize = 1024;

class IgnoreOutput final : public host::IOutputWindow {
public:
    void WriteStatusLine(std::string_view) override {}
    void WriteRawText(std::string_view) override {}
};

std::vector<agent::Entity> Entities() {
    std::vector<agent::Entity> entities;
    for (int i = 0; i < kTasks + kHisrs; ++i) {
        agent::Entity entity;
        entity.number = static_cast<std::uint8_t>(i);
        entity.kind = i < kTasks ? agent::EntityKind::Task : agent::EntityKind::Hisr;
        entity.name = (i < kTasks ? "Task" : "Hisr") + std::to_string(i);
        entity.ipcPermille = 700;
        entity.memPermille = 100;
        entities.push_back(entity);
    }
    for (int i = 0; i < kIrqs; ++i) {
        agent::Entity entity;
        entity.number = static_cast<std::uint8_t>(i);
        entity.kind = agent::EntityKind::Irq;
        entity.name = "IRQ" + std::to_string(i);
        entities.push_back(entity);
    }
    return entities;
}

void BM_LiveTableEventLoopStall(benchmark::State& state) {
    bench::BenchApplication();

    const auto seconds = std::chrono::milliseconds(state.range(0));
    for (auto _ : state) {
        host::MemorySettingsStore store;
        IgnoreOutput output;
        SessionServices services;
        services.settingsStore = &store;
        services.output = &output;
        CollectionSession session(services);
        session.settings().dumpPath = std::filesystem::temp_directory_path().string();
        CPerformanceData& data = session.data();
        data.SetFinishDelay(std::chrono::milliseconds(0));
        data.StartCollection();

        // The agent's answer to "Start": the names of its tasks and HISRs.
        const std::vector<agent::Entity> entities = Entities();
        std::vector<wire::TaskInfoEntry> names;
        for (const agent::Entity& entity : entities)
            if (entity.kind != agent::EntityKind::Irq)
                names.push_back(
                    {entity.number, entity.kind == agent::EntityKind::Hisr ? 1u : 0u, entity.name});
        const wire::Bytes message =
            wire::AgentMessage(wire::kMsgTaskInfo, wire::TaskInfoPayload(names));
        std::uint32_t result = 0;
        data.OnCommandLinkMessage(message.data(), message.size(), result);

        TaskTable table;
        table.BuildColumns(1, false);
        table.RebuildRows(data);
        performance::CTaskTableWidget widget;
        widget.SetTable(&table);
        widget.SetColourSource(&data, session.settings().idleTaskName);
        widget.RebuildFromModel();
        widget.resize(1100, 700);
        widget.show();

        // The link thread: the stream in blocks of at most 1024 bytes, paced by target time.
        std::atomic<bool> stop{false};
        std::atomic<std::uint64_t> bytesFed{0};
        std::thread link([&] {
            agent::GroundTruth truth;
            agent::StreamBuilder builder(0, entities, truth);
            wire::Bytes pending;
            std::uint64_t simulated = 0;
            std::size_t next = 0;
            const auto start = Clock::now();
            while (!stop.load()) {
                const auto elapsed =
                    std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
                const std::uint64_t until =
                    static_cast<std::uint64_t>(elapsed.count()) * agent::kTicksPerMicrosecond;
                for (; simulated < until; simulated += kSwitchPeriod, ++next) {
                    const int entity = static_cast<int>(next % entities.size());
                    agent::WorkloadEvent event;
                    event.time = simulated;
                    event.entity = entity;
                    event.number = entities[static_cast<std::size_t>(entity)].number;
                    event.kind =
                        entities[static_cast<std::size_t>(entity)].kind == agent::EntityKind::Irq
                            ? agent::EventKind::IrqSwitch
                            : agent::EventKind::TaskSwitch;
                    builder.Append(event, pending);
                }
                for (std::size_t at = 0; at < pending.size(); at += kBlockSize) {
                    const std::size_t length = std::min(kBlockSize, pending.size() - at);
                    std::uint32_t blockResult = 0;
                    data.OnDataLinkData(pending.data() + at, length, blockResult, true);
                }
                bytesFed.fetch_add(pending.size());
                pending.clear();
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });

        // The window thread: the view's 500 ms refresh, and the probe.
        StatisticsOptions options;
        int refreshes = 0;
        QTimer refresh;
        refresh.setInterval(500);
        QObject::connect(&refresh, &QTimer::timeout, [&] {
            if (table.rowCount() != data.GetTaskCount()) {
                table.RebuildRows(data);
                widget.RebuildFromModel();
            }
            table.RefreshStatistics(data, options);
            widget.RefreshFromModel();
            ++refreshes;
        });
        qint64 longestGap = 0;
        QElapsedTimer sinceTick;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        probe.setInterval(1);
        QObject::connect(&probe, &QTimer::timeout,
                         [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
        QTimer::singleShot(static_cast<int>(seconds.count()), [] { QApplication::quit(); });
        refresh.start();
        probe.start();
        sinceTick.start();
        QApplication::exec();
        probe.stop();
        refresh.stop();
        stop.store(true);
        link.join();
        data.FinishCollection();

        state.counters["max_stall_ms"] = static_cast<double>(longestGap);
        state.counters["refreshes"] = refreshes;
        state.counters["rows"] = static_cast<double>(table.rowCount());
        state.counters["link_bytes_per_s"] = benchmark::Counter(
            static_cast<double>(bytesFed.load()) / (static_cast<double>(seconds.count()) / 1000.0));
    }
}
BENCHMARK(BM_LiveTableEventLoopStall)->Arg(5000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
