// Any bytes as a session file through the reader, then every figure the table and the export
// derive from what it built.

#include "FuzzStore.h"
#include "engine/MemoryStatsTable.h"
#include "files/SessionFile.h"
#include "files/TextExport.h"
#include "host/MemorySettingsStore.h"
#include "host/MessageBox.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

class SilentMessageBox : public zuta::host::IMessageBox {
public:
    zuta::host::MessageResult Show(std::string_view, std::string_view, zuta::host::MessageIcon,
                                   zuta::host::MessageButtons) override {
        return zuta::host::MessageResult::Ok;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zuta::host::MemorySettingsStore settingsStore;
    zuta::PerformanceSettings settings;
    settings.dumpPath = zuta::fuzz::DumpFolder::Path();
    zuta::MemoryStatsTable memory;
    SilentMessageBox box;
    zuta::CPerformanceData perf;
    zuta::CPerformanceData::Services services;
    services.settings = &settings;
    services.memoryStats = &memory;
    services.settingsStore = &settingsStore;
    services.messageBox = &box;
    perf.Initialise(services);

    std::string error;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (!zuta::LoadSessionData(perf, bytes, error))
        return 0;

    const std::int64_t clock = zuta::ExportClockMhz(settings);
    zuta::TaskRecord task;
    for (std::size_t i = 0; perf.GetTaskByIndex(i, task); ++i)
        zuta::FormatExportLine(perf, task.id, clock);
    std::vector<zuta::GraphSample> graph;
    perf.BuildGraphSamples(graph, true);
    return 0;
}
