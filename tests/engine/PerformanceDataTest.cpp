#include "TestSupport.h"

#include <gtest/gtest.h>

namespace zuta::test {
namespace {

void Fill(StoreFixture& f, std::initializer_list<SampleRecord> samples) {
    f.data.Write([&](StoreState& s) {
        for (const SampleRecord& r : samples)
            s.samples.push_back(r);
    });
}

TEST(GraphSamples, FoldFunctionEventsIntoTheRunBeforeThem) {
    StoreFixture f;
    std::vector<GraphSample> out{GraphSample{}};
    EXPECT_EQ(f.data.BuildGraphSamples(out, true), 0u);
    EXPECT_EQ(out.size(), 1u); // untouched when there are no samples

    Fill(f, {Rec(1003, 10, 20, 30, 40, 100, RecordKind::TaskSwitch),
             Rec(5012, 1, 2, 3, 4, 5, RecordKind::FunctionEnter),
             Rec(5012, 1, 1, 1, 1, 1, RecordKind::FunctionExit),
             Rec(2007, 9, 0, 0, 0, 0, RecordKind::UserEvent),
             Rec(7, 1, 1, 1, 1, 1, RecordKind::IrqSwitch)});
    out.clear();
    EXPECT_EQ(f.data.BuildGraphSamples(out, false), 3u);
    EXPECT_EQ(out[0], (GraphSample{1, 1003, 12, 23, 34, 45, 106, 1}));
    EXPECT_EQ(out[1], (GraphSample{1, 7, 9, 0, 0, 0, 0, 2}));
    EXPECT_EQ(out[2], (GraphSample{1, 7, 1, 1, 1, 1, 1, 3}));

    out.clear();
    EXPECT_EQ(f.data.BuildGraphSamples(out, true), 5u);
    EXPECT_EQ(out[1], (GraphSample{1, 12, 1, 2, 3, 4, 5, 4}));
    EXPECT_EQ(out[2].id, 12u);
    // Called again on the same list, it appends a second copy.
    EXPECT_EQ(f.data.BuildGraphSamples(out, true), 10u);
}

TEST(GraphSamples, RecentSamplesAreTheNewestOldestFirst) {
    StoreFixture f;
    for (std::uint32_t i = 0; i < 12; ++i)
        Fill(f, {Rec(1000 + i, i, 0, 0, 0, i, RecordKind::TaskSwitch)});
    std::vector<GraphSample> out;
    EXPECT_EQ(f.data.BuildRecentGraphSamples(out, 12), 0u);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(f.data.BuildRecentGraphSamples(out, 10), 10u);
    EXPECT_EQ(out.front().id, 1002u);
    EXPECT_EQ(out.back().id, 1011u);
}

TEST(Store, LookupsLeaveTheTaskMapAlone) {
    StoreFixture f;
    f.data.AddOrUpdateTask("IDLE_TASK", 1003, kTypeTask);
    f.data.AddOrUpdateTask("Timer", 4, kTypeIrq);
    TaskRecord t;
    ASSERT_TRUE(f.data.GetTaskByIdText("0x3eb", t));
    EXPECT_EQ(t.name, "IDLE_TASK");
    EXPECT_FALSE(f.data.GetTaskByIdText("zz", t));
    EXPECT_FALSE(f.data.GetTaskByIndex(2, t));
    EXPECT_EQ(f.data.GetTaskType(77), kTypeUnknown);
    std::string name = "unchanged";
    f.data.GetTaskName(77, name);
    EXPECT_EQ(name, "unchanged");
    EXPECT_EQ(f.data.GetTaskCount(), 2u);
}

TEST(Store, ResetClearsTheCollection) {
    StoreFixture f;
    f.Announce({{1, 0, "A"}});
    f.Payload([] {
        wire::Bytes p;
        wire::AppendFullRecord(p, RecordKind::TaskSwitch, 1, 0, 0, 0, 0);
        wire::AppendFullRecord(p, RecordKind::TaskSwitch, 1, 0, 0, 0, 5);
        return p;
    }());
    ASSERT_FALSE(f.Samples().empty());
    const std::string scratch = f.data.scratchFilePath();
    EXPECT_NE(scratch.find("TempPerData/perf"), std::string::npos);
    f.data.ResetStore();
    EXPECT_FALSE(std::filesystem::exists(scratch));
    EXPECT_EQ(f.data.GetCpuLoad(), 0u);
    EXPECT_TRUE(f.Samples().empty());
    EXPECT_EQ(f.data.GetTaskCount(), 0u);
    EXPECT_TRUE(f.data.Read([](const StoreState& s) { return s.noCurrentTask; }));
}

TEST(DataLink, CorruptedBatchesAreReported) {
    StoreFixture f;
    // No payload byte at all: refused, result left alone.
    const wire::Bytes markers{0xFF, 0x17, 0x17, 0xFF};
    std::uint32_t result = 42;
    f.data.OnDataLinkData(markers.data(), markers.size(), result, true);
    EXPECT_EQ(result, 42u);
    EXPECT_EQ(f.sink.Count(host::kCodeCorruptedData), 1u);

    // Payload bytes that form no record: reported, but the batch counts as decoded.
    EXPECT_EQ(f.Payload({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A,
                         0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x14}),
              1u);
    EXPECT_EQ(f.sink.Count(host::kCodeCorruptedData), 2u);
}

TEST(DataLink, RawDataBlockIsDumpedAndEchoed) {
    StoreFixture f;
    f.Payload({0x55, 0x88, 0x03, 0x04, 0x00, 0x00, 0x00, 0xDE, 0xAD, 0xBE, 0xEF});
    ASSERT_EQ(f.output.RawWrites().size(), 2u);
    EXPECT_EQ(f.output.RawWrites()[0], "Data ID 3, Len = 4\n");
    EXPECT_EQ(f.output.RawWrites()[1], "0xde;0xad;0xbe;0xef;\n");
    const std::string bytes = ReadFileBytes(f.folder.path() / "DataID3.bin");
    EXPECT_EQ(bytes, "\xDE\xAD\xBE\xEF");

    f.output.Clear();
    wire::Bytes p;
    wire::AppendRawBlock(p, 1, wire::Bytes(17, 0x0A));
    f.Payload(p);
    ASSERT_EQ(f.output.RawWrites().size(), 3u);
    EXPECT_EQ(f.output.RawWrites()[1].size(), 16u * 4 + 1);
    EXPECT_EQ(f.output.RawWrites()[2], "0xa;\n");

    f.output.Clear();
    p.clear();
    wire::AppendRawBlock(p, 2, wire::Bytes(16, 0x10));
    f.Payload(p);
    ASSERT_EQ(f.output.RawWrites().size(), 3u);
    EXPECT_EQ(f.output.RawWrites()[2], "\n"); // the last line is sent even when empty
}

// The whole engine gives the same store whatever the batch boundaries of the link: frames, records
// and raw data blocks split anywhere, stray bytes in the stream and in the payload.
TEST(DataLink, AnyBatchingGivesTheSameStore) {
    wire::Bytes payload;
    for (std::uint32_t i = 0; i < 60; ++i) {
        wire::AppendFullRecord(payload, RecordKind::TaskSwitch, static_cast<std::uint8_t>(i % 3), i,
                               2 * i, 8 * i, 10 + i);
        if (i % 4 == 0)
            wire::AppendFullRecord(payload, RecordKind::FunctionEnter, 1, 1, 1, 8, 1);
        if (i % 9 == 0)
            wire::AppendFullRecord(payload, RecordKind::UserEvent, 3, i, 0, 0, 0);
        if (i % 11 == 0)
            wire::AppendFullRecord(payload, RecordKind::IrqSwitch, 4, i, 0, 0, 3);
        if (i % 13 == 0)
            wire::AppendRawBlock(payload, static_cast<std::uint8_t>(i), wire::Bytes(i + 1u, 0x5A));
        if (i % 17 == 0)
            payload.push_back(0x99); // names no record
    }
    wire::Bytes stream{0x33, 0x34}; // stray bytes before the first frame
    wire::FrameWriter(300).Append(stream, payload);

    using Damage = std::pair<std::uint64_t, std::uint64_t>;
    const auto damage = [](const StoreFixture& f) {
        return f.data.Read(
            [](const StoreState& s) { return Damage(s.skippedBytes, s.unknownRecords); });
    };
    auto build = [&](std::size_t batch) {
        auto f = std::make_unique<StoreFixture>();
        f->Announce({{0, 0, "CommPM_L"}, {1, 0, "A"}, {2, 1, "H"}});
        for (std::size_t at = 0; at < stream.size(); at += batch) {
            const wire::Bytes part(stream.begin() + at,
                                   stream.begin() + std::min(stream.size(), at + batch));
            f->Framed(part);
        }
        f->data.FinishCollection();
        return f;
    };
    auto whole = build(stream.size());
    const auto expected = whole->Samples();
    ASSERT_GT(expected.size(), 60u);
    ASSERT_EQ(damage(*whole), Damage(2, 4));
    ASSERT_NE(whole->output.Raw().find("Data ID 52, Len = 53"), std::string::npos);
    for (const std::size_t batch : {1u, 5u, 6u, 7u, 113u, 1024u}) {
        SCOPED_TRACE(batch);
        auto f = build(batch);
        EXPECT_EQ(f->Samples(), expected);
        EXPECT_EQ(f->data.GetCpuLoad(), whole->data.GetCpuLoad());
        for (const std::uint32_t id : {1000u, 1001u, 1002u, 4u, 5001u})
            EXPECT_EQ(f->Task(id), whole->Task(id)) << "id " << id;
        EXPECT_EQ(damage(*f), damage(*whole));
        EXPECT_EQ(f->output.Raw(), whole->output.Raw());
    }
    // The damage is counted per collection.
    whole->data.StartCollection();
    EXPECT_EQ(damage(*whole), Damage(0, 0));
}

} // namespace
} // namespace zuta::test
