#pragma once

#include "engine/MemoryStatsTable.h"
#include "engine/PerformanceData.h"
#include "engine/WireEncoder.h"
#include "engine/WireFormat.h"
#include "host/MemorySettingsStore.h"
#include "host/NotificationSink.h"
#include "host/OutputWindow.h"
#include "settings/PerformanceSettings.h"

#include <filesystem>
#include <mutex>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace zuta::test {

class RecordingSink : public host::INotificationSink {
public:
    void PostNotification(std::uint32_t command, std::uint32_t code) override {
        std::lock_guard lock(mutex);
        posted.emplace_back(command, code);
    }
    std::size_t Count(std::uint32_t code) const {
        std::lock_guard lock(mutex);
        std::size_t n = 0;
        for (const auto& p : posted)
            n += p.first == host::kNotifyStatus && p.second == code;
        return n;
    }
    mutable std::mutex mutex;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> posted;
};

class RecordingOutput : public host::IOutputWindow {
public:
    void WriteStatusLine(std::string_view text) override { status.emplace_back(text); }
    void WriteRawText(std::string_view text) override { raw.emplace_back(text); }
    std::vector<std::string> status;
    std::vector<std::string> raw;
};

// A store wired up as a view wires it, with everything it reports recorded.
struct StoreFixture {
    explicit StoreFixture(const std::string& mode = "full") {
        dumpDir = std::filesystem::temp_directory_path() /
                  ("zuta-engine-test-" + std::to_string(::getpid()) + "-" +
                   std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        std::filesystem::create_directories(dumpDir);
        settings.dumpPath = dumpDir.string();
        CPerformanceData::Services services;
        services.settings = &settings;
        services.memoryStats = &memory;
        services.notify = &sink;
        services.output = &output;
        services.settingsStore = &store;
        data.Initialise(services);
        data.SetFinishDelay(std::chrono::milliseconds(0));
        data.SetSimpleMode(mode != "full");
        data.SetExternalTsMode(mode == "ext");
        data.StartCollection();
    }
    ~StoreFixture() {
        std::error_code ec;
        std::filesystem::remove_all(dumpDir, ec);
    }

    std::uint32_t Framed(const wire::Bytes& bytes) {
        std::uint32_t result = 0;
        data.OnDataLinkData(bytes.data(), bytes.size(), result, true);
        return result;
    }
    std::uint32_t Message(const wire::Bytes& bytes) {
        std::uint32_t result = 0;
        data.OnCommandLinkMessage(bytes.data(), bytes.size(), result);
        return result;
    }
    // Frames the payload and feeds it as one batch.
    std::uint32_t Payload(const wire::Bytes& payload) {
        wire::Bytes framed;
        writer.Append(framed, payload);
        return Framed(framed);
    }
    void Announce(const std::vector<wire::TaskInfoEntry>& tasks) {
        Message(wire::AgentMessage(wire::kMsgTaskInfo, wire::TaskInfoPayload(tasks)));
    }
    std::vector<SampleRecord> Samples() {
        return data.Read([](const StoreState& s) {
            std::vector<SampleRecord> out;
            for (std::size_t i = 0; i < s.samples.size(); ++i)
                out.push_back(s.samples[i]);
            return out;
        });
    }
    TaskRecord Task(std::uint32_t id) {
        TaskRecord t;
        data.GetTaskById(id, t);
        return t;
    }

    std::filesystem::path dumpDir;
    host::MemorySettingsStore store;
    PerformanceSettings settings;
    MemoryStatsTable memory;
    RecordingSink sink;
    RecordingOutput output;
    CPerformanceData data;
    wire::FrameWriter writer;
};

inline SampleRecord Rec(std::uint32_t id, std::uint32_t v0, std::uint32_t v1, std::uint32_t v2,
                        std::uint32_t v3, std::uint32_t ticks, RecordKind kind) {
    return SampleRecord{id, v0, v1, v2, v3, ticks, static_cast<std::uint32_t>(kind)};
}

} // namespace zuta::test
