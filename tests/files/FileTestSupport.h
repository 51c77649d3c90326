#pragma once

#include "engine/MemoryStatsTable.h"
#include "engine/PerformanceData.h"
#include "host/MemorySettingsStore.h"
#include "host/MessageBox.h"
#include "host/NotificationSink.h"
#include "settings/PerformanceSettings.h"

#include <filesystem>
#include <fstream>
#include <iterator>
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
    mutable std::mutex mutex;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> posted;
};

struct ShownBox {
    std::string text;
    std::string caption;
    host::MessageIcon icon;
};

class RecordingMessageBox : public host::IMessageBox {
public:
    host::MessageResult Show(std::string_view text, std::string_view caption,
                             host::MessageIcon icon, host::MessageButtons) override {
        shown.push_back({std::string(text), std::string(caption), icon});
        return host::MessageResult::Ok;
    }
    std::vector<ShownBox> shown;
};

// A fresh folder under the system temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "zuta-files-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

inline std::string DataFile(const std::string& name) {
    return std::string(ZUTA_TEST_DATA_DIR) + "/files/" + name;
}

// A store wired as the view wires it, with what it reports recorded.
struct StoreFixture {
    StoreFixture() {
        settings.dumpPath = folder.path().string();
        CPerformanceData::Services services;
        services.settings = &settings;
        services.memoryStats = &memory;
        services.notify = &sink;
        services.settingsStore = &store;
        services.messageBox = &box;
        data.Initialise(services);
        data.SetFinishDelay(std::chrono::milliseconds(0));
    }

    std::vector<SampleRecord> Samples() const {
        return data.Read([](const StoreState& s) {
            std::vector<SampleRecord> out;
            for (std::size_t i = 0; i < s.samples.size(); ++i)
                out.push_back(s.samples[i]);
            return out;
        });
    }
    std::vector<TaskRecord> Tasks() const {
        return data.Read([](const StoreState& s) {
            std::vector<TaskRecord> out;
            for (const auto& [id, task] : s.tasks)
                out.push_back(task);
            return out;
        });
    }
    TaskRecord Task(std::uint32_t id) const {
        TaskRecord task;
        data.GetTaskById(id, task);
        return task;
    }
    template <class F> void Fill(F&& f) { data.Write(std::forward<F>(f)); }

    ScratchFolder folder;
    host::MemorySettingsStore store;
    PerformanceSettings settings;
    MemoryStatsTable memory;
    RecordingSink sink;
    RecordingMessageBox box;
    CPerformanceData data;
};

inline SampleRecord Sample(std::uint32_t id, std::uint32_t kind, std::uint32_t ticks,
                           std::uint32_t v0, std::uint32_t v1, std::uint32_t v2, std::uint32_t v3) {
    return SampleRecord{id, v0, v1, v2, v3, ticks, kind};
}

} // namespace zuta::test
