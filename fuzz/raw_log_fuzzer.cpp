// Any bytes as a raw log through the import, then the graph samples built from its result.

#include "FuzzStore.h"
#include "files/RawLogImport.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const zuta::fuzz::FuzzStore::Lease store;
    std::string error;
    std::vector<std::string> warnings;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (!zuta::ImportRawLogData(store->data, bytes, error, &warnings))
        return 0;
    std::vector<zuta::GraphSample> graph;
    store->data.BuildGraphSamples(graph, true);
    store->data.GetCpuLoad();

    // CleanLogLine on the input taken as one line.
    std::string line(bytes);
    zuta::CleanLogLine(line);
    return 0;
}
