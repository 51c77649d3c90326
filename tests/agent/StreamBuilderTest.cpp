// The stream the agent builds, byte by byte, and the clock of its external timestamps.
#include "agent/StreamBuilder.h"

#include "engine/WireFormat.h"

#include <gtest/gtest.h>

namespace zuta::agent {
namespace {

// Builds `seconds` of workload in external-timestamp mode as the agent streams it: one write per
// millisecond, each ending in padding.
wire::Bytes BuildExtTsStream(std::uint64_t seed, double seconds, GroundTruth& truth) {
    Workload workload(seed);
    StreamBuilder builder(wire::kModeExternalTs, workload.entities(), truth);
    wire::Bytes stream;
    std::vector<WorkloadEvent> events;
    const auto end = static_cast<std::uint64_t>(seconds * kTicksPerSecond);
    for (std::uint64_t at = kTicksPerSecond / 1000; at <= end; at += kTicksPerSecond / 1000) {
        events.clear();
        workload.Generate(at, events);
        for (const WorkloadEvent& e : events)
            builder.Append(e, stream);
        if (!events.empty())
            builder.AppendPadding(stream);
    }
    return stream;
}

TEST(StreamBuilder, MarksEveryTimestampWrapInBothByteOrders) {
    GroundTruth truth;
    const wire::Bytes stream = BuildExtTsStream(2, 0.1, truth);
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
