#pragma once

#include "engine/WireEncoder.h"
#include "engine/WireFormat.h"
#include "support/StoreServices.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zuta::test {

// A store wired up as a view wires it and collecting in `mode` ("full", "simple" or "ext"), fed
// through the links, with everything it reports recorded.
struct StoreFixture : StoreServices {
    explicit StoreFixture(const std::string& mode = "full") {
        Connect(data, sink);
        data.SetSimpleMode(mode != "full");
        data.SetExternalTsMode(mode == "ext");
        data.StartCollection();
    }

    std::uint32_t Framed(const wire::Bytes& bytes) {
        std::uint32_t result = 0;
        data.OnDataLinkData(bytes.data(), bytes.size(), result, true);
        return result;
    }
    std::uint32_t Message(const wire::Bytes& bytes) {
        std::uint32_t result = 0;
        data.OnCommandLinkMessage(bytes.data(), bytes.size(), result);
        return result;
    }
    // Frames the payload and feeds it as one batch.
    std::uint32_t Payload(const wire::Bytes& payload) {
        wire::Bytes framed;
        writer.Append(framed, payload);
        return Framed(framed);
    }
    void Announce(const std::vector<wire::TaskInfoEntry>& tasks) {
        Message(wire::AgentMessage(wire::kMsgTaskInfo, wire::TaskInfoPayload(tasks)));
    }
    std::vector<SampleRecord> Samples() const { return AllSamples(data); }
    TaskRecord Task(std::uint32_t id) const { return TaskOf(data, id); }

    RecordingSink sink;
    CPerformanceData data;
    wire::FrameWriter writer;
};

inline SampleRecord Rec(std::uint32_t id, std::uint32_t v0, std::uint32_t v1, std::uint32_t v2,
                        std::uint32_t v3, std::uint32_t ticks, RecordKind kind) {
    return SampleRecord{id, v0, v1, v2, v3, ticks, static_cast<std::uint32_t>(kind)};
}

} // namespace zuta::test
