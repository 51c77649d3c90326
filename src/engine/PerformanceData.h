#pragma once

#include "engine/RecordDecoder.h"
#include "engine/Records.h"
#include "engine/SampleList.h"
#include "engine/StreamDecoder.h"
#include "namemaps/FunctionNameMap.h"
#include "namemaps/IrqNameMap.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace zuta::host {
class ISettingsStore;
class INotificationSink;
class IOutputWindow;
class IMessageBox;
} // namespace zuta::host

namespace zuta {

class MemoryStatsTable;
struct PerformanceSettings;

using SystemClock = std::chrono::system_clock;

// Everything a collection gathered. Guarded by CPerformanceData's data lock: readers on the window
// thread see it through CPerformanceData::Read, the link thread and the file loaders change it
// through CPerformanceData::Write.
struct StoreState {
    StoreState() = default;
    // The lookup indexes point into `tasks`: a copy would point into the original. A move takes
    // the map's nodes along, so the moved indexes stay right.
    StoreState(const StoreState&) = delete;
    StoreState& operator=(const StoreState&) = delete;
    StoreState(StoreState&&) = default;
    StoreState& operator=(StoreState&&) = default;

    // Task records by identifier. Add, rename and clear them only through AddOrUpdateTask and
    // ClearTasks, which keep the lookup indexes below in step.
    std::map<std::uint32_t, TaskRecord> tasks;
    SampleList samples;
    std::vector<SampleRecord> pendingEvents;

    std::uint32_t currentTaskId = 0;
    std::array<std::uint32_t, 5> lastSwitch{}; // value0..value3 and word 5 of the last switch
    std::uint32_t samplingDuration = 0;
    std::uint32_t dataSeen = 0;
    SystemClock::time_point startTime{};
    SystemClock::time_point lastDataTime{};
    std::array<std::uint32_t, 3> probeWords{};
    std::array<std::uint32_t, 42> tcbBlock{};
    std::array<std::uint32_t, 22> extraWords{};
    std::uint32_t idleTaskId = 0;
    std::uint32_t cpuType = 1;
    std::string vtuneDataPath;

    std::uint32_t switchCount = 0;
    std::uint32_t userEventCount = 0;
    std::uint64_t sumValue0 = 0;
    std::uint64_t sumValue1 = 0;
    std::uint64_t sumValue2 = 0;
    std::uint64_t sumTicks = 0;
    bool noCurrentTask = true;
    bool newTaskInBatch = false;
    std::uint32_t currentKind = 1;
    std::uint32_t functionEventCount = 0;
    std::string idleTaskName = "CommPM_L";
    // Damage to the data-link stream since the store was last reset: bytes the stream decoder
    // skipped in search of the next frame, and places where payload bytes named no record
    // (RecordScan::unknownRecords).
    std::uint64_t skippedBytes = 0;
    std::uint64_t unknownRecords = 0;

    // Creates or renames a task record: a name already taken gets "_%x" with the identifier, the
    // first blank becomes "_", and the idle task's identifier is remembered.
    TaskRecord& AddOrUpdateTask(const std::string& name, std::uint32_t id, std::uint32_t type);
    // Zeroes the run-wide totals (switch and user event counts, counter and tick sums).
    void ZeroTotals() {
        switchCount = 0;
        userEventCount = 0;
        sumValue0 = sumValue1 = sumValue2 = sumTicks = 0;
    }
    // Counts a stored sample into the run-wide totals and into `owner`, the task its figures
    // belong to: the task of a run sample, the running task for a function event (none: the
    // totals only). A function event counts as one, anything else as a switch; a run sample is
    // one more run of `owner` when `countRun` (the runs of a loaded file come from its task lines).
    void Accumulate(const SampleRecord& sample, TaskRecord* owner, bool countRun) {
        sumValue0 += sample.value0;
        sumValue1 += sample.value1;
        sumValue2 += sample.value2;
        sumTicks += sample.ticks;
        const bool functionEvent = IsFunctionEvent(sample.kind);
        if (functionEvent)
            ++functionEventCount;
        else
            ++switchCount;
        if (owner == nullptr)
            return;
        if (countRun && !functionEvent)
            ++owner->runs;
        owner->ticks += sample.ticks;
        owner->sumValue0 += sample.value0;
        owner->sumValue1 += sample.value1;
        owner->sumValue2 += sample.value2;
        owner->lastValue3 = sample.value3;
    }
    // Inline: run building and the file readers look up a task for every sample.
    const TaskRecord* Find(std::uint32_t id) const {
        if (id < kDirectIds)
            return direct_[id];
        const auto it = tasks.find(id);
        return it != tasks.end() ? &it->second : nullptr;
    }
    TaskRecord* Find(std::uint32_t id) {
        return const_cast<TaskRecord*>(static_cast<const StoreState&>(*this).Find(id));
    }
    // Deletes every task record.
    void ClearTasks();
    // Clears what a collection gathered (not vtuneDataPath, cpuType or idleTaskName).
    void Reset();
    // CPU load in percent from the idle task's share of all task ticks.
    std::uint32_t CpuLoad();
    // Graph samples of samples [first, end), appended to `out`.
    void AppendGraphSamples(std::vector<GraphSample>& out, std::size_t first,
                            bool withFunctionEvents) const;

private:
    // Identifiers below this are found through a table instead of the map: IRQs, tasks, user
    // events and the first functions, which is what run building looks up for every record.
    static constexpr std::uint32_t kDirectIds = 8192;
    std::vector<TaskRecord*> direct_ = std::vector<TaskRecord*>(kDirectIds, nullptr);
    // How many records carry each name, so that uniqueness costs no walk over all records.
    std::unordered_map<std::string, std::uint32_t> nameUse_;
};

// The data store and decoding engine of one performance view: data-link batches and command-link
// messages go in, tasks, runs, counters and events come out.
class CPerformanceData {
public:
    struct Services {
        PerformanceSettings* settings = nullptr;       // dump folder for raw data blocks
        MemoryStatsTable* memoryStats = nullptr;       // tasks announced by the collector
        host::INotificationSink* notify = nullptr;     // notifications 1795 / 1539
        host::IOutputWindow* output = nullptr;         // raw-text echo of raw data blocks
        host::ISettingsStore* settingsStore = nullptr; // the name maps
        host::IMessageBox* messageBox = nullptr;       // errors of the session file reader
    };

    CPerformanceData();
    virtual ~CPerformanceData();
    CPerformanceData(const CPerformanceData&) = delete;
    CPerformanceData& operator=(const CPerformanceData&) = delete;

    // Connects the services, loads both name maps and creates the scratch file.
    void Initialise(const Services& services);
    const Services& services() const { return services_; }

    // Configuration copied from the settings.
    void SetSimpleMode(bool on) { simpleMode_.store(on); }
    void SetExternalTsMode(bool on) { externalTsMode_.store(on); }
    bool simpleMode() const { return simpleMode_.load(); }
    bool externalTsMode() const { return externalTsMode_.load(); }
    // Also makes the task of that name, if there is one, the idle task (idleTaskId, else 0).
    void SetIdleTaskName(const std::string& name);
    void SetCpuType(std::uint32_t cpuType);

    // A batch of data-link bytes: framed from the data link, unframed from the command link's
    // data-link port. `result` becomes 1 when the batch was decoded.
    virtual void OnDataLinkData(const std::uint8_t* bytes, std::size_t length,
                                std::uint32_t& result, bool framed);
    // A collector message (link header first). `result` becomes its type, or -1 when refused.
    virtual void OnCommandLinkMessage(const std::uint8_t* message, std::size_t length,
                                      std::uint32_t& result);

    void ResetStore();
    // Exchanges what the two stores gathered (tasks, samples, run-wide values, the counter
    // scheme), e.g. to put in place a file that was read into a store of its own. Configuration
    // (services, modes, idle task name, name maps) and the VTune data path stay with each store.
    void SwapContent(CPerformanceData& other);
    void StartCollection();
    void FinishCollection();
    void AddOrUpdateTask(const std::string& name, std::uint32_t id, std::uint32_t type);
    void ClearTasks();
    bool GetTaskById(std::uint32_t id, TaskRecord& out) const;
    bool GetTaskByIdText(const std::string& text, TaskRecord& out) const;
    bool GetTaskByIndex(std::size_t index, TaskRecord& out) const;
    std::uint32_t GetTaskType(std::uint32_t id) const;
    void GetTaskName(std::uint32_t id, std::string& name) const;
    std::uint32_t GetTaskIdByName(const std::string& name) const;
    std::uint32_t GetTaskCount() const;
    std::uint32_t GetCpuLoad();
    std::uint32_t GetSamplingDuration() const;
    std::uint32_t GetUserEventCount() const;
    std::uint32_t GetFunctionEventCount() const;
    void GetProbeWords(std::array<std::uint32_t, 3>& out) const;
    void GetTcbBlock(std::array<std::uint32_t, 42>& out) const;
    std::uint32_t BuildGraphSamples(std::vector<GraphSample>& out, bool withFunctionEvents);
    // The newest n samples as graph samples, oldest first; nothing when n or fewer are stored.
    std::uint32_t BuildRecentGraphSamples(std::vector<GraphSample>& out, std::uint32_t n) const;
    // True when run building created an IRQ task record during the latest batch.
    bool NewTaskInBatch() const;
    // Payload bytes waiting in the record decoder for the rest of their record.
    std::size_t RecordCarrySize();

    // Runs f(const StoreState&) under the shared data lock.
    template <class F> decltype(auto) Read(F&& f) const {
        std::shared_lock lock(dataMutex_);
        return f(static_cast<const StoreState&>(state_));
    }
    // Runs f(StoreState&) under the exclusive data lock (file loaders).
    template <class F> decltype(auto) Write(F&& f) {
        std::unique_lock lock(dataMutex_);
        return f(state_);
    }

    // The store's own copies of the name maps (only the link thread changes them during a run).
    IrqNameMap& irqNames() { return irqNames_; }
    FunctionNameMap& functionNames() { return functionNames_; }
    const FunctionNameMap& functionNames() const { return functionNames_; }
    // Saves a copy of the function name map, taken under the shared data lock; the save itself
    // (a settings file rewritten and synced) runs with no data lock held.
    void SaveFunctionNames();

    // Where `now` comes from, and how long FinishCollection lets late batches arrive.
    void SetClock(std::function<SystemClock::time_point()> clock) { clock_ = std::move(clock); }
    void SetFinishDelay(std::chrono::milliseconds delay) { finishDelay_ = delay; }
    std::chrono::milliseconds finishDelay() const { return finishDelay_; }

    const std::string& scratchFilePath() const { return scratchPath_; }

private:
    void BuildRuns(const SampleRecord* records, std::size_t count);
    void HandleRawBlock(const RawDataBlock& block);
    void Notify(const std::vector<std::uint32_t>& codes);
    SystemClock::time_point Now() const;
    void DeleteScratchFile();

    Services services_;
    IrqNameMap irqNames_;
    FunctionNameMap functionNames_;
    // Orders the saves of the function names: a later copy is never overtaken by an earlier one.
    std::mutex namesSaveMutex_;

    mutable std::shared_mutex dataMutex_;
    StoreState state_;

    // Serialises ingestion: one batch or message is decoded and built at a time.
    std::mutex lock_;
    StreamDecoder stream_;
    RecordDecoder records_;
    StreamTiming timing_;
    std::vector<std::uint8_t> payload_;
    std::vector<SampleRecord> decoded_;

    std::atomic<bool> simpleMode_{false};
    std::atomic<bool> externalTsMode_{false};

    std::mutex scratchMutex_;
    std::string scratchPath_;

    std::function<SystemClock::time_point()> clock_;
    std::chrono::milliseconds finishDelay_{500};
};

} // namespace zuta
