#pragma once

#include "collection/CollectionController.h"
#include "collection/CollectionView.h"
#include "engine/MemoryStatsTable.h"
#include "engine/PerformanceData.h"
#include "host/MemorySettingsStore.h"
#include "host/NotificationSink.h"
#include "host/OutputWindow.h"
#include "settings/PerformanceSettings.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace zuta::test {

// Waits for a condition that another thread makes true; false when it did not within `limit`.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The view's side of collection control, recorded: notifications and table hooks, from any
// thread.
class RecordingView : public ICollectionView {
public:
    void PostNotification(std::uint32_t command, std::uint32_t code) override {
        std::lock_guard lock(mutex_);
        posted_.emplace_back(command, code);
    }
    void RefreshTableNow() override { ++refreshNow; }
    void RunNewTaskData() override { ++newTaskData; }
    void ArmTableRefresh() override { ++armRefresh; }

    std::vector<std::pair<std::uint32_t, std::uint32_t>> Posted() const {
        std::lock_guard lock(mutex_);
        return posted_;
    }
    std::size_t CountStatus(std::uint32_t code) const {
        std::size_t n = 0;
        for (const auto& [command, c] : Posted())
            n += command == host::kNotifyStatus && c == code;
        return n;
    }
    std::size_t CountCommand(std::uint32_t command) const {
        std::size_t n = 0;
        for (const auto& posted : Posted())
            n += posted.first == command;
        return n;
    }
    // Hands every status notification not handled yet to the controller, as the view's window
    // thread does with its queued messages.
    void Dispatch(CollectionController& controller) {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> batch;
        {
            std::lock_guard lock(mutex_);
            batch.assign(posted_.begin() + static_cast<std::ptrdiff_t>(dispatched_), posted_.end());
            dispatched_ = posted_.size();
        }
        for (const auto& [command, code] : batch)
            if (command == host::kNotifyStatus)
                controller.HandleStatusNotification(code);
    }

    std::atomic<int> refreshNow{0};
    std::atomic<int> newTaskData{0};
    std::atomic<int> armRefresh{0};

private:
    mutable std::mutex mutex_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> posted_;
    std::size_t dispatched_ = 0;
};

class LockedOutput : public host::IOutputWindow {
public:
    void WriteStatusLine(std::string_view text) override {
        std::lock_guard lock(mutex_);
        status_.emplace_back(text);
    }
    void WriteRawText(std::string_view text) override {
        std::lock_guard lock(mutex_);
        raw_ += text;
    }
    std::vector<std::string> Status() const {
        std::lock_guard lock(mutex_);
        return status_;
    }
    std::size_t CountStatus(const std::string& text) const {
        std::size_t n = 0;
        for (const std::string& line : Status())
            n += line == text;
        return n;
    }
    std::string Raw() const {
        std::lock_guard lock(mutex_);
        return raw_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> status_;
    std::string raw_;
};

// A data store wired as the performance view wires it, in a dump folder of its own.
struct StoreRig {
    explicit StoreRig(std::uint32_t samplingMode = 0) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "zuta-link-XXXXXX").string();
        folder = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string(".");
        settings.dumpPath = folder.string();
        settings.simpleMode = samplingMode != 0;
        settings.externalTsMode = samplingMode == 3;
        CPerformanceData::Services services;
        services.settings = &settings;
        services.memoryStats = &memory;
        services.notify = &view;
        services.output = &output;
        services.settingsStore = &store;
        data.Initialise(services);
        data.SetFinishDelay(std::chrono::milliseconds(0));
        data.SetSimpleMode(settings.simpleMode);
        data.SetExternalTsMode(settings.externalTsMode);
        data.SetIdleTaskName(settings.idleTaskName);
    }
    ~StoreRig() {
        std::error_code ec;
        if (folder != ".")
            std::filesystem::remove_all(folder, ec);
    }

    std::filesystem::path folder;
    host::MemorySettingsStore store;
    PerformanceSettings settings;
    MemoryStatsTable memory;
    RecordingView view;
    LockedOutput output;
    CPerformanceData data;
};

} // namespace zuta::test
