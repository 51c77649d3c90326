#include "engine/PerformanceData.h"

#include "engine/MemoryStatsTable.h"
#include "engine/WireFormat.h"
#include "host/NotificationSink.h"
#include "host/OutputWindow.h"
#include "host/TextNumbers.h"
#include "settings/PerformanceSettings.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <stdlib.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace zuta {

namespace {

constexpr std::uint32_t kRefused = 0xFFFFFFFFu;

bool IsNameCharacter(std::uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == ' ';
}

} // namespace

CPerformanceData::CPerformanceData() = default;

CPerformanceData::~CPerformanceData() {
    ResetStore();
    DeleteScratchFile();
    // The scratch folder goes too once no other store uses it.
    if (!scratchPath_.empty()) {
        std::error_code ec;
        std::filesystem::remove(std::filesystem::path(scratchPath_).parent_path(), ec);
    }
}

void CPerformanceData::Initialise(const Services& services) {
    services_ = services;
    {
        std::unique_lock lock(dataMutex_);
        state_.probeWords = {};
        state_.tcbBlock = {};
        state_.extraWords = {};
        state_.currentTaskId = 0;
        state_.lastSwitch = {};
        state_.startTime = {};
        state_.lastDataTime = {};
    }
    irqNames_.SetStore(services.settingsStore);
    functionNames_.SetStore(services.settingsStore);
    if (services.settingsStore != nullptr) {
        irqNames_.LoadOrDefaults();
        functionNames_.Load();
    } else {
        irqNames_.LoadDefaults();
    }

    // A scratch folder under the working directory holds one empty marker file of this store.
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::current_path(ec) / "TempPerData";
    if (ec)
        return;
    std::filesystem::create_directory(folder, ec);
    std::string pattern = (folder / "perfXXXXXX.tmp").string();
    const int fd = ::mkstemps(pattern.data(), 4);
    if (fd >= 0) {
        ::close(fd);
        std::lock_guard lock(scratchMutex_);
        scratchPath_ = pattern;
    }
}

void CPerformanceData::DeleteScratchFile() {
    std::lock_guard lock(scratchMutex_);
    if (!scratchPath_.empty())
        ::unlink(scratchPath_.c_str());
}

SystemClock::time_point CPerformanceData::Now() const {
    return clock_ ? clock_() : SystemClock::now();
}

void CPerformanceData::SetIdleTaskName(const std::string& name) {
    std::unique_lock lock(dataMutex_);
    state_.idleTaskName = name;
    // A renamed idle task counts at once, not only from its next run.
    state_.idleTaskId = 0;
    for (const auto& [id, task] : state_.tasks) {
        if (task.name == name) {
            state_.idleTaskId = id;
            break;
        }
    }
}

void CPerformanceData::SetCpuType(std::uint32_t cpuType) {
    std::unique_lock lock(dataMutex_);
    state_.cpuType = cpuType;
}

void CPerformanceData::Notify(const std::vector<std::uint32_t>& codes) {
    if (services_.notify == nullptr)
        return;
    for (const std::uint32_t code : codes)
        services_.notify->PostNotification(host::kNotifyStatus, code);
}

void CPerformanceData::OnDataLinkData(const std::uint8_t* bytes, std::size_t length,
                                      std::uint32_t& result, bool framed) {
    std::vector<std::uint32_t> notes;
    {
        std::lock_guard ingest(lock_);
        payload_.clear();
        const bool externalTs = externalTsMode_.load();
        std::size_t skipped = 0;
        if (bytes != nullptr) {
            if (framed)
                skipped = stream_.DecodeFramedStream(bytes, length, payload_,
                                                     externalTs ? &timing_ : nullptr);
            else
                StreamDecoder::ExtractUnframedPayload(bytes, length, payload_);
        }
        const RecordLayout layout = externalTs    ? RecordLayout::ExternalTs
                                    : simpleMode_ ? RecordLayout::Simple
                                                  : RecordLayout::Full;
        decoded_.clear();
        RecordScan scan;
        const bool decoded = records_.DecodeRecords(
            payload_.data(), payload_.size(), layout, timing_, decoded_,
            [this](const RawDataBlock& block) { HandleRawBlock(block); }, &scan);
        if (skipped > 0 || scan.unknownRecords > 0) {
            std::unique_lock data(dataMutex_);
            state_.skippedBytes += skipped;
            state_.unknownRecords += scan.unknownRecords;
        }
        if (!decoded) {
            notes.push_back(host::kCodeCorruptedData);
        } else {
            // A raw data block may be longer than a batch: a batch that only carries (part of)
            // one holds no record and is still sound.
            if (decoded_.empty() && scan.rawBlocks == 0 && !scan.rawBlockOpen)
                notes.push_back(host::kCodeCorruptedData);
            BuildRuns(decoded_.data(), decoded_.size());
            result = 1;
        }
    }
    Notify(notes);
}

void CPerformanceData::HandleRawBlock(const RawDataBlock& block) {
    char text[64];
    std::snprintf(text, sizeof text, "Data ID %d, Len = %d\n", static_cast<int>(block.id),
                  static_cast<int>(block.length));
    if (services_.settings != nullptr) {
        const std::string path =
            services_.settings->dumpPath + "/DataID" + std::to_string(block.id) + ".bin";
        if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
            if (block.length > 0)
                std::fwrite(block.data, 1, block.length, f);
            std::fclose(f);
        }
    }
    if (services_.output == nullptr)
        return;
    services_.output->WriteRawText(text);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string line;
    for (std::uint32_t i = 0; i < block.length; ++i) {
        const std::uint8_t b = block.data[i];
        line += "0x";
        if (b >= 16)
            line += kHex[b >> 4];
        line += kHex[b & 15];
        line += ';';
        if ((i + 1) % 16 == 0) {
            line += '\n';
            services_.output->WriteRawText(line);
            line.clear();
        }
    }
    line += '\n';
    services_.output->WriteRawText(line);
}

void CPerformanceData::OnCommandLinkMessage(const std::uint8_t* message, std::size_t length,
                                            std::uint32_t& result) {
    result = kRefused;
    if (message == nullptr || length < wire::kMessagePayloadOffset)
        return;
    const std::int64_t payloadLength =
        static_cast<std::int64_t>(wire::ReadU32(message + wire::kMessageLengthOffset)) -
        wire::kMessageLengthBias;
    if (payloadLength < 0 || payloadLength > wire::kMaxMessagePayload)
        return;
    const std::uint32_t type = wire::ReadU32(message + wire::kMessageTypeOffset);
    const std::uint8_t* payload = message + wire::kMessagePayloadOffset;
    // Only what the message really holds is read, whatever its length field announces.
    const std::size_t usable = std::min<std::size_t>(static_cast<std::size_t>(payloadLength),
                                                     length - wire::kMessagePayloadOffset);

    std::vector<std::uint32_t> notes;
    {
        std::lock_guard ingest(lock_);
        switch (type) {
        case wire::kMsgTaskInfo: {
            if (payloadLength == 0)
                break;
            std::unique_lock data(dataMutex_);
            state_.ClearTasks();
            for (std::size_t at = 0; at + wire::kTaskInfoEntrySize <= usable;
                 at += wire::kTaskInfoEntrySize) {
                const std::uint8_t* entry = payload + at;
                const std::uint32_t number = wire::ReadU32(entry);
                const std::uint32_t taskType = wire::ReadU32(entry + 4);
                std::string name;
                for (std::size_t k = 0; k < wire::kTaskInfoNameSize; ++k) {
                    const std::uint8_t c = entry[wire::kTaskInfoNameOffset + k];
                    if (c == 0)
                        break;
                    if (!IsNameCharacter(c))
                        notes.push_back(host::kCodeTaskInfoCorrupted);
                    name += static_cast<char>(c);
                }
                if (services_.memoryStats != nullptr)
                    services_.memoryStats->AddEntry(number + wire::kTaskIdBase, name, {});
                state_.AddOrUpdateTask(name, number + wire::kTaskIdBase, taskType);
            }
            break;
        }
        case wire::kMsgRecords: {
            decoded_.clear();
            for (std::size_t at = 0; at + wire::kWireSampleRecordSize <= usable;
                 at += wire::kWireSampleRecordSize) {
                const std::uint8_t* w = payload + at;
                decoded_.push_back(SampleRecord{wire::ReadU32(w), wire::ReadU32(w + 4),
                                                wire::ReadU32(w + 8), wire::ReadU32(w + 12),
                                                wire::ReadU32(w + 16), wire::ReadU32(w + 20),
                                                wire::ReadU32(w + 24)});
            }
            BuildRuns(decoded_.data(), decoded_.size());
            break;
        }
        case wire::kMsgProbeWords: {
            std::unique_lock data(dataMutex_);
            for (std::size_t k = 0; k < wire::kProbeWordCount && (k + 1) * 4 <= usable; ++k)
                state_.probeWords[k] = wire::ReadU32(payload + k * 4);
            break;
        }
        case wire::kMsgTcbBlock: {
            if (payloadLength != static_cast<std::int64_t>(wire::kTcbBlockSize) ||
                usable != wire::kTcbBlockSize)
                return;
            std::unique_lock data(dataMutex_);
            for (std::size_t k = 0; k < wire::kTcbWordCount; ++k)
                state_.tcbBlock[k] = wire::ReadU32(payload + k * 4);
            break;
        }
        case wire::kMsgExtraWords: {
            std::unique_lock data(dataMutex_);
            for (std::size_t k = 0; k < wire::kExtraWordCount && (k + 1) * 4 <= usable; ++k)
                state_.extraWords[k] = wire::ReadU32(payload + k * 4);
            break;
        }
        default:
            break;
        }
        result = type;
    }
    Notify(notes);
}

void CPerformanceData::ResetStore() {
    std::lock_guard ingest(lock_);
    {
        std::unique_lock data(dataMutex_);
        state_.Reset();
        state_.skippedBytes = 0;
        state_.unknownRecords = 0;
    }
    timing_.Reset();
    DeleteScratchFile();
}

void CPerformanceData::SwapContent(CPerformanceData& other) {
    if (&other == this)
        return;
    std::scoped_lock ingest(lock_, other.lock_);
    std::scoped_lock data(dataMutex_, other.dataMutex_);
    std::swap(state_, other.state_);
    std::swap(state_.idleTaskName, other.state_.idleTaskName);
    std::swap(state_.vtuneDataPath, other.state_.vtuneDataPath);
}

void CPerformanceData::StartCollection() {
    ResetStore();
    std::lock_guard ingest(lock_);
    {
        std::unique_lock data(dataMutex_);
        state_.startTime = Now();
    }
    records_.ClearCarry();
}

void CPerformanceData::AddOrUpdateTask(const std::string& name, std::uint32_t id,
                                       std::uint32_t type) {
    std::unique_lock data(dataMutex_);
    state_.AddOrUpdateTask(name, id, type);
}

void CPerformanceData::ClearTasks() {
    std::unique_lock data(dataMutex_);
    state_.ClearTasks();
}

bool CPerformanceData::GetTaskById(std::uint32_t id, TaskRecord& out) const {
    std::shared_lock data(dataMutex_);
    const TaskRecord* task = state_.Find(id);
    if (task == nullptr)
        return false;
    out = *task;
    return true;
}

bool CPerformanceData::GetTaskByIdText(const std::string& text, TaskRecord& out) const {
    std::uint32_t id = 0;
    return text::ScanHex(text, 0, id) != text::kNoField && GetTaskById(id, out);
}

bool CPerformanceData::GetTaskByIndex(std::size_t index, TaskRecord& out) const {
    std::shared_lock data(dataMutex_);
    if (index >= state_.tasks.size())
        return false;
    out = std::next(state_.tasks.begin(), static_cast<std::ptrdiff_t>(index))->second;
    return true;
}

std::uint32_t CPerformanceData::GetTaskType(std::uint32_t id) const {
    std::shared_lock data(dataMutex_);
    const TaskRecord* task = state_.Find(id);
    return task != nullptr ? task->type : kTypeUnknown;
}

void CPerformanceData::GetTaskName(std::uint32_t id, std::string& name) const {
    std::shared_lock data(dataMutex_);
    if (const TaskRecord* task = state_.Find(id))
        name = task->name;
}

std::uint32_t CPerformanceData::GetTaskIdByName(const std::string& name) const {
    std::shared_lock data(dataMutex_);
    for (const auto& [id, task] : state_.tasks)
        if (task.name == name)
            return id;
    return 0;
}

std::uint32_t CPerformanceData::GetTaskCount() const {
    std::shared_lock data(dataMutex_);
    return static_cast<std::uint32_t>(state_.tasks.size());
}

std::uint32_t CPerformanceData::GetCpuLoad() {
    std::unique_lock data(dataMutex_);
    return state_.CpuLoad();
}

std::uint32_t CPerformanceData::GetSamplingDuration() const {
    std::shared_lock data(dataMutex_);
    return state_.samplingDuration;
}

std::uint32_t CPerformanceData::GetUserEventCount() const {
    std::shared_lock data(dataMutex_);
    return state_.userEventCount;
}

std::uint32_t CPerformanceData::GetFunctionEventCount() const {
    std::shared_lock data(dataMutex_);
    return state_.functionEventCount;
}

void CPerformanceData::GetProbeWords(std::array<std::uint32_t, 3>& out) const {
    std::shared_lock data(dataMutex_);
    out = state_.probeWords;
}

void CPerformanceData::GetTcbBlock(std::array<std::uint32_t, 42>& out) const {
    std::shared_lock data(dataMutex_);
    out = state_.tcbBlock;
}

bool CPerformanceData::NewTaskInBatch() const {
    std::shared_lock data(dataMutex_);
    return state_.newTaskInBatch;
}

std::size_t CPerformanceData::RecordCarrySize() {
    std::lock_guard ingest(lock_);
    return records_.carrySize();
}

std::uint32_t CPerformanceData::BuildGraphSamples(std::vector<GraphSample>& out,
                                                  bool withFunctionEvents) {
    std::shared_lock data(dataMutex_);
    if (state_.samples.empty())
        return 0;
    DeleteScratchFile();
    out.reserve(out.size() + state_.samples.size());
    state_.AppendGraphSamples(out, 0, withFunctionEvents);
    return static_cast<std::uint32_t>(out.size());
}

std::uint32_t CPerformanceData::BuildRecentGraphSamples(std::vector<GraphSample>& out,
                                                        std::uint32_t n) const {
    std::shared_lock data(dataMutex_);
    const std::size_t size = state_.samples.size();
    if (size <= n)
        return 0;
    state_.AppendGraphSamples(out, size - n, true);
    return static_cast<std::uint32_t>(out.size());
}

} // namespace zuta
