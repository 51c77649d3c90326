// The stream the agent builds, decoded by the module's own store without any link in between.
#include "agent/StreamBuilder.h"

#include "engine/WireFormat.h"
#include "support/StoreServices.h"

#include <gtest/gtest.h>

namespace zuta::agent {
namespace {

struct Decoded : test::StoreServices {
    explicit Decoded(std::uint32_t mode) {
        Connect(data, sink);
        data.SetSimpleMode(mode != wire::kModeNormal);
        data.SetExternalTsMode(mode == wire::kModeExternalTs);
        data.StartCollection();
    }
    test::RecordingSink sink;
    CPerformanceData data;
};

// Builds `seconds` of workload as the agent streams it: one write per millisecond, each ending
// in padding, raw blocks now and then in full mode.
wire::Bytes BuildStream(std::uint32_t mode, std::uint64_t seed, double seconds, GroundTruth& truth,
                        std::vector<wire::TaskInfoEntry>& taskInfo) {
    Workload workload(seed);
    StreamBuilder builder(mode, workload.entities(), truth);
    for (const Entity& e : workload.entities())
        if (e.kind != EntityKind::Irq)
            taskInfo.push_back({e.number, e.kind == EntityKind::Hisr ? 1u : 0u, e.name});
    wire::Bytes stream;
    std::vector<WorkloadEvent> events;
    const auto end = static_cast<std::uint64_t>(seconds * kTicksPerSecond);
    for (std::uint64_t at = 0; at < end;) {
        at += kTicksPerSecond / 1000;
        events.clear();
        workload.Generate(at, events);
        for (const WorkloadEvent& e : events) {
            if (e.kind == EventKind::TaskSwitch &&
                e.time / (kTicksPerSecond / 4) != (e.time - 1) / (kTicksPerSecond / 4))
                builder.AppendRawBlock(7, wire::Bytes{0xDE, 0xAD, 0x55, 0xAA, 0x05}, stream);
            builder.Append(e, stream);
        }
        if (!events.empty())
            builder.AppendPadding(stream);
    }
    return stream;
}

void Feed(CPerformanceData& data, const wire::Bytes& stream, std::size_t firstChunk) {
    // Uneven chunks, never so small that a batch could hold no record.
    std::size_t chunk = firstChunk;
    for (std::size_t at = 0; at < stream.size();) {
        const std::size_t n = std::min(chunk, stream.size() - at);
        std::uint32_t result = 0;
        data.OnDataLinkData(stream.data() + at, n, result, true);
        at += n;
        chunk = 600 + (chunk * 13) % 424;
    }
}

class BuilderAgainstStore : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(BuilderAgainstStore, StoreFiguresEqualTheTruth) {
    GroundTruth truth;
    std::vector<wire::TaskInfoEntry> taskInfo;
    const wire::Bytes stream = BuildStream(GetParam(), 21, 0.8, truth, taskInfo);
    Decoded decoded(GetParam());
    std::uint32_t result = 0;
    const wire::Bytes message =
        wire::AgentMessage(wire::kMsgTaskInfo, wire::TaskInfoPayload(taskInfo));
    decoded.data.OnCommandLinkMessage(message.data(), message.size(), result);
    ASSERT_EQ(result, wire::kMsgTaskInfo);
    Feed(decoded.data, stream, 1024);

    // Nothing but the padding is left over: every record was decoded.
    EXPECT_LE(decoded.data.RecordCarrySize(), wire::kExtTsRecordNeed - wire::kExtTsRecordSize);
    for (const auto& [id, expected] : truth.tasks) {
        SCOPED_TRACE(expected.name);
        TaskRecord task;
        ASSERT_TRUE(decoded.data.GetTaskById(id, task));
        EXPECT_EQ(task.runs, expected.runs);
        EXPECT_EQ(task.ticks, expected.ticks);
        EXPECT_EQ(task.sumValue0, expected.sumValue0);
        EXPECT_EQ(task.sumValue1, expected.sumValue1);
        EXPECT_EQ(task.sumValue2, expected.sumValue2);
    }
    EXPECT_EQ(decoded.data.GetCpuLoad(), truth.CpuLoad());
    decoded.data.Read([&](const StoreState& state) {
        EXPECT_EQ(state.switchCount, truth.switchCount);
        EXPECT_EQ(state.userEventCount, truth.userEventCount);
        EXPECT_EQ(state.functionEventCount, truth.functionEventCount);
    });
}

INSTANTIATE_TEST_SUITE_P(SamplingModes, BuilderAgainstStore,
                         ::testing::Values(wire::kModeNormal, wire::kModeSimple,
                                           wire::kModeExternalTs));

TEST(StreamBuilder, MarksEveryTimestampWrapInBothByteOrders) {
    GroundTruth truth;
    std::vector<wire::TaskInfoEntry> taskInfo;
    const wire::Bytes stream = BuildStream(wire::kModeExternalTs, 2, 0.1, truth, taskInfo);
    // Frames are six bytes and start with a sub-tick of 0..3, so a scan that steps over frames
    // sees markers only where they are.
    std::size_t ffFirst = 0;
    std::size_t seventeenFirst = 0;
    std::size_t frames = 0;
    for (std::size_t p = 0; p < stream.size();) {
        if (stream[p] == 0xFF && stream[p + 1] == 0x17) {
            ++ffFirst;
            p += 2;
        } else if (stream[p] == 0x17 && stream[p + 1] == 0xFF) {
            ++seventeenFirst;
            p += 2;
        } else {
            ASSERT_LE(stream[p], 3);
            ASSERT_EQ(stream[p + 1], wire::kFrameTag);
            ++frames;
            p += wire::kFrameSize;
        }
    }
    EXPECT_EQ(frames, truth.payloadBytes);
    // 0.1 s of a 16-bit counter at 12 MHz wraps 18 times (every 5.46 ms).
    const std::size_t wraps = ffFirst + seventeenFirst;
    EXPECT_GE(wraps, 17u);
    EXPECT_LE(wraps, 19u);
    EXPECT_GT(ffFirst, 0u);
    EXPECT_GT(seventeenFirst, 0u);
}

TEST(StreamBuilder, FullRecordsCarryCountersThatFitTheRunTime) {
    Workload workload(8);
    GroundTruth truth;
    StreamBuilder builder(wire::kModeNormal, workload.entities(), truth);
    std::vector<WorkloadEvent> events;
    workload.Generate(kTicksPerSecond / 10, events);
    for (const WorkloadEvent& e : events) {
        wire::Bytes bytes;
        builder.Append(e, bytes);
    }
    for (const auto& [id, task] : truth.tasks) {
        if (task.ticks == 0)
            continue;
        // 16 cycles a timer tick; no more instructions, memory cycles or accesses than cycles.
        EXPECT_LE(task.sumValue0, task.ticks) << task.name;
        EXPECT_LE(task.sumValue1, task.ticks) << task.name;
        EXPECT_LE(task.sumValue2, task.sumValue1) << task.name;
        EXPECT_GT(task.sumValue0, 0u) << task.name;
    }
}

TEST(ExtTsClock, FirstRecordHasNoTimeAndLaterOnesTheGapToTheRecordBefore) {
    ExtTsClock clock;
    clock.Byte(65534, 2, 0); // the example frame of the stream format: 1 tick and 2 sub-ticks
    EXPECT_EQ(clock.RecordUnits(), 0u);
    clock.Byte(65534, 2, 0);
    clock.Byte(65534, 2, 0);
    // 12 ticks of 12 MHz later: 1 us, 10000 units of 0.1 ns (give or take the last digit).
    clock.Byte(65522, 2, 0);
    EXPECT_NEAR(static_cast<double>(clock.RecordUnits()), 10000.0, 1.0);
}

} // namespace
} // namespace zuta::agent
