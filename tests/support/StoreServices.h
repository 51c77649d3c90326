#pragma once

#include "Recorders.h"
#include "TempFolder.h"
#include "engine/MemoryStatsTable.h"
#include "engine/PerformanceData.h"
#include "host/MemorySettingsStore.h"
#include "settings/PerformanceSettings.h"

#include <chrono>
#include <cstdint>
#include <vector>

namespace zuta::test {

// What a view hands its store, each service recording what the store reports; raw data blocks are
// dumped into a fresh temporary folder. A fixture derives from it and declares its notification
// receiver and then the store, so the store is destroyed before anything it points to.
struct StoreServices {
    StoreServices() { settings.dumpPath = folder.path().string(); }

    // Initialises the store with these services, as the view does, and lets a finished
    // collection close at once.
    void Connect(CPerformanceData& data, host::INotificationSink& notify) {
        data.Initialise({.settings = &settings,
                         .memoryStats = &memory,
                         .notify = &notify,
                         .output = &output,
                         .settingsStore = &store,
                         .messageBox = &box});
        data.SetFinishDelay(std::chrono::milliseconds(0));
    }

    TempFolder folder;
    host::MemorySettingsStore store;
    PerformanceSettings settings;
    MemoryStatsTable memory;
    RecordingOutput output;
    RecordingMessageBox box;
};

inline std::vector<SampleRecord> AllSamples(const CPerformanceData& data) {
    return data.Read([](const StoreState& s) {
        std::vector<SampleRecord> out;
        for (std::size_t i = 0; i < s.samples.size(); ++i)
            out.push_back(s.samples[i]);
        return out;
    });
}

// The task with this id, or an empty record when the store has none.
inline TaskRecord TaskOf(const CPerformanceData& data, std::uint32_t id) {
    TaskRecord task;
    data.GetTaskById(id, task);
    return task;
}

} // namespace zuta::test
