// Any bytes as a session file through the reader, then every figure the table and the export
// derive from what it built.

#include "FuzzStore.h"
#include "files/SessionFile.h"
#include "files/TextExport.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const zuta::fuzz::FuzzStore::Lease store;
    zuta::CPerformanceData& perf = store->data;

    std::string error;
    std::vector<std::string> warnings;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (!zuta::LoadSessionData(perf, bytes, error, {}, &warnings))
        return 0;

    const std::int64_t clock = zuta::ExportClockMhz(store->settings);
    zuta::TaskRecord task;
    for (std::size_t i = 0; perf.GetTaskByIndex(i, task); ++i)
        zuta::FormatExportLine(perf, task.id, clock);
    std::vector<zuta::GraphSample> graph;
    perf.BuildGraphSamples(graph, true);
    return 0;
}
