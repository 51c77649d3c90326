// A capture of any content read record by record and replayed through the collector endpoint
// into a store, as `zuta replay` does. The capture is read from memory: no file per input.

#include "FuzzStore.h"
#include "collection/CollectionReplay.h"
#include "engine/Capture.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zuta::CaptureReader reader;
    std::string error;
    if (!reader.OpenMemory(data, size, error))
        return 0;
    const zuta::fuzz::FuzzStore::Lease store;
    {
        zuta::CaptureReplayer replayer(store->data, store->settings.diagPort,
                                       store->settings.tlnPort);
        zuta::CaptureRecord record;
        while (reader.Next(record, error))
            replayer.Feed(record);
    }
    store->data.FinishCollection();
    std::vector<zuta::GraphSample> graph;
    store->data.BuildGraphSamples(graph, true);
    store->data.GetCpuLoad();
    return 0;
}
