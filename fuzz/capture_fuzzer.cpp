// A capture file of any content read record by record and replayed through the collector endpoint
// into a store, as `zuta replay` does.

#include "FuzzStore.h"
#include "collection/CollectionReplay.h"
#include "engine/Capture.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path =
        zuta::fuzz::DumpFolder::Path() + "/input-" + std::to_string(::getpid()) + ".zcap";
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        if (size > 0)
            std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        return 0;
    }

    zuta::fuzz::FuzzStore store;
    zuta::CaptureReader reader;
    std::string error;
    if (!reader.Open(path, error))
        return 0;
    store.data.StartCollection();
    {
        zuta::CaptureReplayer replayer(store.data, store.settings.diagPort, store.settings.tlnPort);
        zuta::CaptureRecord record;
        while (reader.Next(record, error))
            replayer.Feed(record);
    }
    store.data.FinishCollection();
    std::vector<zuta::GraphSample> graph;
    store.data.BuildGraphSamples(graph, true);
    store.data.GetCpuLoad();
    return 0;
}
