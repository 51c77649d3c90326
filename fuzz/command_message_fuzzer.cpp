// A collector message of any content and length through OnCommandLinkMessage, followed by a
// well-formed data batch, so whatever the message left in the store (task list, runs, words) is
// built upon and read back.

#include "FuzzStore.h"
#include "engine/WireEncoder.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// Task switches between tasks 0..3 and IRQ 5, with a user event and a function call in between.
const zuta::wire::Bytes& DataBatch() {
    static const zuta::wire::Bytes batch = [] {
        using zuta::RecordKind;
        zuta::wire::Bytes payload;
        for (std::uint8_t i = 0; i < 8; ++i) {
            zuta::wire::AppendFullRecord(payload, RecordKind::TaskSwitch, i % 4, 100u * i, 7, 80,
                                         1000u + i);
            zuta::wire::AppendFullRecord(payload, RecordKind::UserEvent, i, i, 0, 0, 0);
            zuta::wire::AppendFullRecord(payload, RecordKind::FunctionEnter, 3, 10, 1, 8, 50);
            zuta::wire::AppendFullRecord(payload, RecordKind::FunctionExit, 3, 10, 1, 8, 60);
            zuta::wire::AppendFullRecord(payload, RecordKind::IrqSwitch, 5, 20, 2, 16, 30);
        }
        zuta::wire::Bytes framed;
        zuta::wire::FrameWriter writer(97);
        writer.Append(framed, payload);
        return framed;
    }();
    return batch;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const zuta::fuzz::FuzzStore::Lease store;
    zuta::CPerformanceData& perf = store->data;

    std::uint32_t result = 0;
    perf.OnCommandLinkMessage(data, size, result);
    const zuta::wire::Bytes& batch = DataBatch();
    perf.OnDataLinkData(batch.data(), batch.size(), result, true);
    // A second copy of the message lands on the runs the batch built.
    perf.OnCommandLinkMessage(data, size, result);

    perf.FinishCollection();
    std::vector<zuta::GraphSample> graph;
    perf.BuildGraphSamples(graph, true);
    perf.GetCpuLoad();
    std::array<std::uint32_t, 3> probe{};
    perf.GetProbeWords(probe);
    std::array<std::uint32_t, 42> tcb{};
    perf.GetTcbBlock(tcb);
    zuta::TaskRecord task;
    for (std::size_t i = 0; perf.GetTaskByIndex(i, task); ++i) {
        std::string name;
        perf.GetTaskName(task.id, name);
        perf.GetTaskIdByName(name);
    }
    return 0;
}
