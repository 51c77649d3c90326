#include "engine/PerformanceData.h"
#include "engine/WireFormat.h"
#include "host/TextNumbers.h"

#include <algorithm>
#include <thread>

namespace zuta {

namespace {

// "%d" of a 32-bit word after a prefix: "IRQ%d", "Fn%d".
std::string NumberedName(const char* prefix, std::uint32_t number) {
    char text[text::kMaxIntText];
    return prefix + std::string(text, text::PutSignedWord(text, number));
}

} // namespace

// ---- StoreState ---------------------------------------------------------------------------------

TaskRecord& StoreState::AddOrUpdateTask(const std::string& name, std::uint32_t id,
                                        std::uint32_t type) {
    std::string unique = name;
    if (const auto used = nameUse_.find(name); used != nameUse_.end() && used->second > 0) {
        char suffix[text::kMaxIntText];
        unique += '_';
        unique.append(suffix, text::PutHex(suffix, id));
    }
    auto [it, created] = tasks.try_emplace(id);
    TaskRecord& record = it->second;
    if (created) {
        if (id < kDirectIds)
            direct_[id] = &record;
    } else if (const auto old = nameUse_.find(record.name); old != nameUse_.end()) {
        if (--old->second == 0)
            nameUse_.erase(old);
    }
    record.type = type;
    record.id = id;
    record.name = std::move(unique);
    if (const auto blank = record.name.find(' '); blank != std::string::npos)
        record.name[blank] = '_';
    ++nameUse_[record.name];
    if (record.name == idleTaskName)
        idleTaskId = id;
    return record;
}

void StoreState::ClearTasks() {
    // Only the slots of existing records are set: clearing them is cheaper than the whole table
    // when a store is reset often with few tasks.
    for (const auto& [id, task] : tasks)
        if (id < kDirectIds)
            direct_[id] = nullptr;
    tasks.clear();
    nameUse_.clear();
    dataSeen = 0;
}

void StoreState::Reset() {
    ClearTasks();
    samples.clear();
    pendingEvents.clear();
    pendingEvents.shrink_to_fit();
    startTime = {};
    lastDataTime = {};
    probeWords = {};
    tcbBlock = {};
    extraWords = {};
    currentTaskId = 0;
    lastSwitch = {};
    ZeroTotals();
    samplingDuration = 0;
    idleTaskId = 0;
    functionEventCount = 0;
    noCurrentTask = true;
    newTaskInBatch = false;
    currentKind = 1;
}

std::uint32_t StoreState::CpuLoad() {
    if (dataSeen == 0)
        return 0;
    std::uint64_t idle = 0;
    std::uint64_t others = 0;
    for (auto it = tasks.rbegin(); it != tasks.rend(); ++it) {
        if (it->second.name == idleTaskName) {
            idleTaskId = it->first;
            idle = it->second.ticks;
        } else {
            others += it->second.ticks;
        }
    }
    const std::uint64_t total = idle + others;
    if (total == 0)
        return 0;
    return static_cast<std::uint32_t>(100 - (idle * 100) / total);
}

void StoreState::AppendGraphSamples(std::vector<GraphSample>& out, std::size_t first,
                                    bool withFunctionEvents) const {
    const std::size_t size = samples.size();
    for (std::size_t i = first; i < size; ++i) {
        const SampleRecord& s = samples[i];
        GraphSample g{1, s.id, s.value0, s.value1, s.value2, s.value3, s.ticks, s.kind};
        if (IsSwitch(s.kind)) {
            for (std::size_t j = i + 1; j < size && IsFunctionEvent(samples[j].kind); ++j) {
                const SampleRecord& f = samples[j];
                g.value0 += f.value0;
                g.value1 += f.value1;
                g.value2 += f.value2;
                g.value3 += f.value3;
                g.ticks += f.ticks;
            }
        } else if (s.kind == static_cast<std::uint32_t>(RecordKind::UserEvent)) {
            g.id -= wire::kUserEventIdBase;
        } else if (IsFunctionEvent(s.kind)) {
            g.id -= wire::kFunctionIdBase;
            if (!withFunctionEvents)
                continue;
        }
        out.push_back(g);
    }
}

// ---- Run building -------------------------------------------------------------------------------

void CPerformanceData::BuildRuns(const SampleRecord* records, std::size_t count) {
    const bool externalTs = externalTsMode_.load();
    bool namesLearned = false;
    std::unique_lock data(dataMutex_);
    StoreState& s = state_;
    s.lastDataTime = Now();
    s.newTaskInBatch = false;
    if (records == nullptr || count == 0)
        return;
    const bool firstBatch = s.dataSeen == 0;
    // The record of the running task, looked up again only when the current task changes.
    TaskRecord* cur = s.Find(s.currentTaskId);

    for (std::size_t k = 0; k < count; ++k) {
        const SampleRecord& r = records[k];
        if (firstBatch)
            ++s.dataSeen;
        const std::uint32_t ticks = externalTs ? r.value3 : 16u * r.value3 + (r.ticks & 15u);

        if (r.kind == static_cast<std::uint32_t>(RecordKind::IrqSwitch) && !s.Find(r.id)) {
            std::string name;
            if (!irqNames_.Lookup(r.id, name))
                name = NumberedName("IRQ", r.id);
            s.AddOrUpdateTask(name, r.id, kTypeIrq);
            s.newTaskInBatch = true;
            cur = s.Find(s.currentTaskId); // map nodes are stable, but the current id may be new
        }

        if (IsSwitch(r.kind)) {
            if (!s.noCurrentTask && cur != nullptr) {
                // The switch record's counters are those of the run it ends.
                SampleRecord run = r;
                run.id = s.currentTaskId;
                run.ticks = ticks;
                run.kind = s.currentKind;
                s.samples.push_back(run);
                for (const SampleRecord& e : s.pendingEvents)
                    s.samples.push_back(e);
                s.pendingEvents.clear();
                s.Accumulate(run, cur, true);
            }
            s.noCurrentTask = false;
            s.currentTaskId = r.id;
            s.lastSwitch = {r.value0, r.value1, r.value2, r.value3, r.ticks};
            s.currentKind = r.kind;
            cur = s.Find(r.id);
        } else if (r.kind == static_cast<std::uint32_t>(RecordKind::UserEvent)) {
            ++s.userEventCount;
            s.pendingEvents.push_back(SampleRecord{r.id, r.value0, 0, 0, 0, 0, r.kind});
        } else if (IsFunctionEvent(r.kind)) {
            if (!s.Find(r.id)) {
                const std::uint32_t number = r.id - wire::kFunctionIdBase;
                std::string name;
                if (!functionNames_.Lookup(number, name)) {
                    name = NumberedName("Fn", number);
                    functionNames_.SetName(number, name);
                    namesLearned = true;
                }
                s.AddOrUpdateTask(name, r.id,
                                  r.kind == static_cast<std::uint32_t>(RecordKind::FunctionEnter)
                                      ? kTypeFunctionEnter
                                      : kTypeFunctionExit);
                cur = s.Find(s.currentTaskId);
            }
            SampleRecord event = r;
            event.ticks = ticks;
            s.Accumulate(event, cur, true);
            s.pendingEvents.push_back(event);
        }
    }
    data.unlock();
    // The names this batch learned are saved once, with readers free to go on meanwhile.
    if (namesLearned)
        SaveFunctionNames();
}

void CPerformanceData::SaveFunctionNames() {
    std::lock_guard saving(namesSaveMutex_);
    FunctionNameMap names;
    {
        std::shared_lock data(dataMutex_);
        names = functionNames_;
    }
    names.Save();
}

void CPerformanceData::FinishCollection() {
    if (finishDelay_.count() > 0)
        std::this_thread::sleep_for(finishDelay_);
    std::lock_guard ingest(lock_);
    std::unique_lock data(dataMutex_);
    StoreState& s = state_;
    if (s.currentTaskId != 0) {
        s.samples.push_back(SampleRecord{s.currentTaskId, 0, 0, 0, 0, 0, s.currentKind});
        s.currentTaskId = 0;
    }
    for (const SampleRecord& e : s.pendingEvents)
        s.samples.push_back(e);
    s.pendingEvents.clear();
    s.samplingDuration = 0;
    if (s.lastDataTime > s.startTime && s.startTime != SystemClock::time_point{}) {
        const auto seconds =
            std::chrono::duration_cast<std::chrono::seconds>(s.lastDataTime - s.startTime);
        s.samplingDuration = static_cast<std::uint32_t>(seconds.count());
    }
}

} // namespace zuta
