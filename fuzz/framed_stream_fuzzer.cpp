// Data-link batches of any content, split anywhere, through the whole engine: stream decoding,
// record decoding (all three record layouts) and run building, then the readers of the result.
// The input layout is described in StreamInput.h.

#include "FuzzStore.h"
#include "StreamInput.h"
#include "engine/WireEncoder.h"
#include "engine/WireFormat.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace zuta::fuzz;

// Task info for the numbers 0..15, so task switches find records and build runs.
const zuta::wire::Bytes& TaskInfoMessage() {
    static const zuta::wire::Bytes message = [] {
        std::vector<zuta::wire::TaskInfoEntry> tasks;
        for (std::uint32_t t = 0; t < 16; ++t)
            tasks.push_back({t, t % 2, t == 0 ? "CommPM_L" : "Task" + std::to_string(t)});
        return zuta::wire::AgentMessage(zuta::wire::kMsgTaskInfo,
                                        zuta::wire::TaskInfoPayload(tasks));
    }();
    return message;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kHeaderSize)
        return 0;
    const std::uint8_t flags = data[0];
    const std::size_t splitCount = data[1] & kSplitCountMask;
    if (size < kHeaderSize + splitCount)
        return 0;
    const std::uint8_t* lengths = data + kHeaderSize;
    const std::uint8_t* stream = lengths + splitCount;
    const std::size_t streamSize = size - kHeaderSize - splitCount;

    const FuzzStore::Lease store;
    zuta::CPerformanceData& perf = store->data;
    const std::uint8_t mode = flags & kModeMask;
    perf.SetSimpleMode(mode == kModeSimple || mode == kModeSimpleAndExtTs);
    perf.SetExternalTsMode(mode == kModeExtTs || mode == kModeSimpleAndExtTs);

    std::uint32_t result = 0;
    if (flags & kAnnounceTasks) {
        const zuta::wire::Bytes& message = TaskInfoMessage();
        perf.OnCommandLinkMessage(message.data(), message.size(), result);
    }
    const bool framed = (flags & kUnframed) == 0;
    if (flags & kEmptyBatches) {
        perf.OnDataLinkData(stream, 0, result, framed);
        perf.OnDataLinkData(nullptr, 0, result, framed);
    }

    // Each batch is copied into a buffer of its own size so a read past its end is caught.
    std::vector<std::uint8_t> batch;
    std::size_t offset = 0;
    std::size_t index = 0;
    bool restarted = false;
    while (offset < streamSize) {
        std::size_t length = streamSize - offset;
        if (splitCount > 0) {
            const std::size_t wanted = std::size_t{lengths[index % splitCount]} + 1;
            if (wanted < length)
                length = wanted;
        }
        batch.assign(stream + offset, stream + offset + length);
        perf.OnDataLinkData(batch.data(), batch.size(), result, framed);
        offset += length;
        ++index;
        if ((flags & kRestartHalfway) && !restarted && offset * 2 >= streamSize) {
            perf.FinishCollection();
            perf.StartCollection();
            restarted = true;
        }
    }

    perf.FinishCollection();
    std::vector<zuta::GraphSample> graph;
    perf.BuildGraphSamples(graph, (flags & kWithFunctions) != 0);
    std::vector<zuta::GraphSample> recent;
    perf.BuildRecentGraphSamples(recent, static_cast<std::uint32_t>(graph.size() / 2));
    perf.GetCpuLoad();
    perf.RecordCarrySize();
    zuta::TaskRecord task;
    for (std::size_t i = 0; perf.GetTaskByIndex(i, task); ++i)
        perf.GetTaskType(task.id);
    return 0;
}
