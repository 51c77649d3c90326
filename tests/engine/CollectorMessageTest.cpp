#include "TestSupport.h"

#include <gtest/gtest.h>

namespace zuta::test {
namespace {

constexpr std::uint32_t kRefused = 0xFFFFFFFFu;

TEST(CollectorMessage, RefusesShortOrImplausibleMessages) {
    StoreFixture f;
    const wire::Bytes valid = wire::AgentMessage(9, {});
    EXPECT_EQ(f.Message(wire::Bytes(valid.begin(), valid.begin() + 35)), kRefused);
    EXPECT_EQ(f.Message(valid), 9u); // unknown types are accepted and change nothing

    wire::Bytes negative = valid;
    wire::WriteU32(negative.data() + wire::kMessageLengthOffset, 23);
    EXPECT_EQ(f.Message(negative), kRefused);
    wire::Bytes huge = valid;
    wire::WriteU32(huge.data() + wire::kMessageLengthOffset, 24 + 65537);
    EXPECT_EQ(f.Message(huge), kRefused);

    EXPECT_EQ(f.Message(wire::AgentMessage(wire::kMsgTcbBlock, wire::Bytes(100, 1))), kRefused);
    std::uint32_t result = 7;
    f.data.OnCommandLinkMessage(nullptr, 0, result);
    EXPECT_EQ(result, kRefused);
}

TEST(CollectorMessage, TaskInfoReplacesTheTaskList) {
    StoreFixture f;
    f.data.AddOrUpdateTask("Old", 1500, kTypeTask);
    f.Announce({{1, 0, "IDLE"}, {2, 1, "HISR_Rx"}, {3, 0, "EIGHTCHR"}});
    EXPECT_EQ(f.data.GetTaskCount(), 3u);
    EXPECT_EQ(f.Task(1001).name, "IDLE");
    EXPECT_EQ(f.Task(1001).type, kTypeTask);
    EXPECT_EQ(f.Task(1002).type, kTypeHisr);
    EXPECT_EQ(f.Task(1003).name, "EIGHTCHR"); // eight characters, no terminator
    EXPECT_EQ(f.data.GetTaskType(1500), kTypeUnknown);

    std::array<std::uint32_t, 4> words{9, 9, 9, 9};
    ASSERT_TRUE(f.memory.GetWords(1001, words));
    EXPECT_EQ(words, (std::array<std::uint32_t, 4>{}));
    EXPECT_EQ(f.sink.Count(host::kCodeTaskInfoCorrupted), 0u);

    // The memory table keeps the first name it was given.
    f.Announce({{3, 0, "Second"}});
    EXPECT_EQ(f.Task(1003).name, "Second");
    EXPECT_EQ(f.memory.Entries().at(1003).name, "EIGHTCHR");

    // Bad name characters are reported once each, and the names kept.
    f.Announce({{4, 0, "L1-Task"}, {5, 0, "a.b-c"}});
    EXPECT_EQ(f.sink.Count(host::kCodeTaskInfoCorrupted), 3u);
    EXPECT_EQ(f.Task(1004).name, "L1-Task");
}

TEST(CollectorMessage, PartialEntriesAndShortPayloadsUseOnlyWholeData) {
    StoreFixture f;
    // A task-info length field that announces more than the message holds.
    wire::Bytes msg =
        wire::AgentMessage(wire::kMsgTaskInfo, wire::TaskInfoPayload({{1, 0, "A"}, {2, 0, "B"}}));
    msg.resize(msg.size() - 5);
    EXPECT_EQ(f.Message(msg), wire::kMsgTaskInfo);
    EXPECT_EQ(f.data.GetTaskCount(), 1u);

    EXPECT_EQ(f.Message(wire::AgentMessage(wire::kMsgProbeWords, wire::WordsPayload({7, 8}))),
              wire::kMsgProbeWords);
    std::array<std::uint32_t, 3> probe{};
    f.data.GetProbeWords(probe);
    EXPECT_EQ(probe, (std::array<std::uint32_t, 3>{7, 8, 0}));

    std::vector<std::uint32_t> extra(22);
    for (std::uint32_t i = 0; i < 22; ++i)
        extra[i] = 100 + i;
    f.Message(wire::AgentMessage(wire::kMsgExtraWords, wire::WordsPayload(extra)));
    EXPECT_EQ(f.data.Read([](const StoreState& s) { return s.extraWords[21]; }), 121u);
}

TEST(CollectorMessage, TcbBlockAndReadyMadeRecords) {
    StoreFixture f;
    std::vector<std::uint32_t> tcb(42);
    for (std::uint32_t i = 0; i < 42; ++i)
        tcb[i] = i * 3;
    EXPECT_EQ(f.Message(wire::AgentMessage(wire::kMsgTcbBlock, wire::WordsPayload(tcb))), 5u);
    std::array<std::uint32_t, 42> got{};
    f.data.GetTcbBlock(got);
    EXPECT_EQ(got[41], 123u);

    f.Announce({{1, 0, "T1"}});
    // Word 5 refines the tick count with its low four bits.
    const auto records = wire::RecordsPayload({
        Rec(1001, 0, 0, 0, 0, 0, RecordKind::TaskSwitch),
        Rec(1001, 10, 20, 30, 100, 0x37, RecordKind::TaskSwitch),
    });
    EXPECT_EQ(f.Message(wire::AgentMessage(wire::kMsgRecords, records)), 1u);
    EXPECT_EQ(f.Task(1001).runs, 1u);
    EXPECT_EQ(f.Task(1001).ticks, 16u * 100 + 7);
}

} // namespace
} // namespace zuta::test
