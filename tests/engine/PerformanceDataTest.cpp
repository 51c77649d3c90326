// The store fed as the links feed it: runs built from the records, the collector's messages, the
// data link's batches and the lookups the views make.
#include "engine/WireEncoder.h"
#include "engine/WireFormat.h"
#include "support/StoreServices.h"

#include <cstdint>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <numeric>
#include <string>
#include <vector>

namespace zuta::test {
namespace {

// A store wired up as a view wires it, collecting in full mode, fed through the links, with
// everything it reports recorded.
struct StoreFixture : StoreServices {
    StoreFixture() {
        Connect(data, sink);
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

SampleRecord Rec(std::uint32_t id, std::uint32_t v0, std::uint32_t v1, std::uint32_t v2,
                 std::uint32_t v3, std::uint32_t ticks, RecordKind kind) {
    return SampleRecord{id, v0, v1, v2, v3, ticks, static_cast<std::uint32_t>(kind)};
}

// The records as the target sends them in full mode: the number of the task (id 1000 + n), user
// event (2000 + n), function (5000 + n) or IRQ (n), and counter C multiplied by eight.
wire::Bytes Full(std::initializer_list<SampleRecord> records) {
    wire::Bytes p;
    for (const SampleRecord& r : records)
        wire::AppendFullRecord(p, static_cast<RecordKind>(r.kind),
                               static_cast<std::uint8_t>(r.id % 1000), r.value0, r.value1,
                               r.value2 * 8, r.value3);
    return p;
}

TEST(RunBuilding, RunsEventsAndSums) {
    StoreFixture f;
    f.Announce({{1, 0, "Main"}});
    f.Payload(Full({
        Rec(1001, 1, 1, 1, 1, 0, RecordKind::TaskSwitch),    // first switch: closes no run
        Rec(5003, 5, 6, 7, 2, 0, RecordKind::FunctionEnter), // during the run of 1001
        Rec(7, 100, 20, 3, 10, 0, RecordKind::IrqSwitch),    // closes the run of 1001
        Rec(1001, 50, 4, 1, 5, 0, RecordKind::TaskSwitch),   // closes the run of IRQ 7
    }));
    const auto samples = f.Samples();
    ASSERT_EQ(samples.size(), 3u);
    EXPECT_EQ(samples[0], Rec(1001, 100, 20, 3, 10, 160, RecordKind::TaskSwitch));
    EXPECT_EQ(samples[1], Rec(5003, 5, 6, 7, 2, 32, RecordKind::FunctionEnter));
    EXPECT_EQ(samples[2], Rec(7, 50, 4, 1, 5, 80, RecordKind::IrqSwitch));

    // The function event counts into the task running it, not into its own record.
    EXPECT_EQ(f.Task(1001), (TaskRecord{"Main", 1001, kTypeTask, 1, 105, 26, 10, 10, 160 + 32}));
    EXPECT_EQ(f.Task(7), (TaskRecord{"SWSRC_7", 7, kTypeIrq, 1, 50, 4, 1, 5, 80}));
    EXPECT_EQ(f.Task(5003), (TaskRecord{"Fn3", 5003, kTypeFunctionEnter}));

    f.data.Read([](const StoreState& s) {
        EXPECT_EQ(s.switchCount, 2u);
        EXPECT_EQ(s.sumValue0, 155u);
        EXPECT_EQ(s.sumTicks, 160u + 32u + 80u);
        EXPECT_EQ(s.functionEventCount, 1u);
        EXPECT_TRUE(s.pendingEvents.empty());
        EXPECT_EQ(s.currentTaskId, 1001u);
    });
}

TEST(RunBuilding, FirstSwitchClosesNoRunAndEventsWaitForTheFirstRun) {
    StoreFixture f;
    f.Announce({{1, 0, "A"}});
    f.Payload(Full({Rec(2004, 77, 0, 0, 0, 0, RecordKind::UserEvent),
                    Rec(1001, 9, 9, 9, 9, 0, RecordKind::TaskSwitch)}));
    EXPECT_TRUE(f.Samples().empty());
    f.data.Read([](const StoreState& s) {
        EXPECT_EQ(s.switchCount, 0u);
        EXPECT_EQ(s.userEventCount, 1u);
        ASSERT_EQ(s.pendingEvents.size(), 1u);
        EXPECT_EQ(s.pendingEvents[0], Rec(2004, 77, 0, 0, 0, 0, RecordKind::UserEvent));
    });
    f.data.FinishCollection();
    const auto samples = f.Samples();
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_EQ(samples[0], Rec(1001, 0, 0, 0, 0, 0, RecordKind::TaskSwitch));
    EXPECT_EQ(samples[1].id, 2004u);
    // A second finish adds nothing.
    f.data.FinishCollection();
    EXPECT_EQ(f.Samples().size(), 2u);
}

TEST(RunBuilding, UnknownFunctionsAreNamedAndTheNamesSavedOncePerBatch) {
    StoreFixture f;
    f.Payload(Full({Rec(5012, 0, 0, 0, 0, 0, RecordKind::FunctionExit),
                    Rec(5013, 0, 0, 0, 0, 0, RecordKind::FunctionEnter),
                    Rec(5014, 0, 0, 0, 0, 0, RecordKind::FunctionEnter)}));
    EXPECT_EQ(f.Task(5012).name, "Fn12");
    EXPECT_EQ(f.Task(5012).type, kTypeFunctionExit);
    EXPECT_EQ(f.store.ReadString("Fn Mapping", "0"), "Fn12 , 12");
    EXPECT_EQ(f.store.ReadString("Fn Mapping", "2"), "Fn14 , 14");
    EXPECT_EQ(f.store.commitCount(), 1u);

    // A known name is used and nothing new is stored.
    f.data.functionNames().SetName(40, "InitL1");
    f.Payload(Full({Rec(5040, 0, 0, 0, 0, 0, RecordKind::FunctionEnter)}));
    EXPECT_EQ(f.Task(5040).name, "InitL1");
    EXPECT_EQ(f.store.commitCount(), 1u);
}

// A settings store that runs a probe before every commit.
class ProbedStore : public host::ISettingsStore {
public:
    std::uint32_t ReadInt(std::string_view section, std::string_view key,
                          std::uint32_t defaultValue) const override {
        return inner.ReadInt(section, key, defaultValue);
    }
    void WriteInt(std::string_view section, std::string_view key, std::uint32_t value) override {
        inner.WriteInt(section, key, value);
    }
    std::string ReadString(std::string_view section, std::string_view key) const override {
        return inner.ReadString(section, key);
    }
    void WriteString(std::string_view section, std::string_view key,
                     std::string_view value) override {
        inner.WriteString(section, key, value);
    }
    bool Commit() override {
        if (probe)
            probe();
        return inner.Commit();
    }

    host::MemorySettingsStore inner;
    std::function<void()> probe;
};

// Saving rewrites and syncs the settings file: the window thread must be able to read the store
// meanwhile.
TEST(RunBuilding, NamesAreSavedWithTheStoreFreeForReaders) {
    ProbedStore store;
    StoreServices services;
    RecordingSink sink;
    CPerformanceData data;
    services.Connect(data, sink);
    CPerformanceData::Services withProbe = data.services();
    withProbe.settingsStore = &store;
    data.Initialise(withProbe);
    data.StartCollection();
    bool readerHeldUp = false;
    // Kept beyond the probe: a reader still waiting for the lock finishes once it is released.
    std::future<std::uint32_t> reader;
    store.probe = [&] {
        reader = std::async(std::launch::async, [&] { return data.GetTaskCount(); });
        readerHeldUp = reader.wait_for(std::chrono::seconds(10)) != std::future_status::ready;
    };
    wire::Bytes framed;
    wire::FrameWriter().Append(framed, Full({Rec(5012, 0, 0, 0, 0, 0, RecordKind::FunctionExit)}));
    std::uint32_t result = 0;
    data.OnDataLinkData(framed.data(), framed.size(), result, true);
    reader.wait();
    EXPECT_EQ(store.inner.commitCount(), 1u);
    EXPECT_FALSE(readerHeldUp);
}

TEST(RunBuilding, IrqWithoutAMappedNameAndIrqZero) {
    StoreFixture f;
    f.Payload(Full({Rec(80, 0, 0, 0, 0, 0, RecordKind::IrqSwitch),
                    Rec(0, 0, 0, 0, 2, 0, RecordKind::IrqSwitch),
                    Rec(80, 0, 0, 0, 3, 0, RecordKind::IrqSwitch)}));
    EXPECT_EQ(f.Task(80).name, "IRQ80");
    EXPECT_EQ(f.Task(0).name, "SWSRC_0");
    EXPECT_EQ(f.Task(0).runs, 1u);
    EXPECT_EQ(f.Task(0).ticks, 48u);
    EXPECT_TRUE(f.data.NewTaskInBatch());
}

// The idle task is found by its name, among however many functions.
TEST(RunBuilding, CpuLoad) {
    struct Case {
        std::uint64_t idle;
        std::uint64_t other;
        bool hasIdle;
        std::uint32_t functions;
        std::uint32_t load;
    };
    for (const Case c :
         {Case{750, 250, true, 0, 25}, Case{0, 250, false, 0, 100}, Case{0, 0, true, 0, 0},
          Case{1, 2, true, 0, 67}, Case{900, 100, true, 300, 10}}) {
        StoreFixture f;
        f.data.Write([&](StoreState& s) {
            s.dataSeen = 1;
            for (std::uint32_t i = 0; i < c.functions; ++i)
                s.AddOrUpdateTask("Fn" + std::to_string(i), 5000 + i, kTypeFunctionEnter);
            if (c.hasIdle)
                s.AddOrUpdateTask("CommPM_L", 1001, kTypeTask).ticks = c.idle;
            s.AddOrUpdateTask("Other", 1002, kTypeTask).ticks = c.other;
        });
        EXPECT_EQ(f.data.GetCpuLoad(), c.load);
        EXPECT_EQ(f.data.Read([](const StoreState& s) { return s.idleTaskId; }),
                  c.hasIdle ? 1001u : 0u);
    }
    StoreFixture empty;
    EXPECT_EQ(empty.data.GetCpuLoad(), 0u);
}

// A time of day on 6 December 2026 (UTC).
SystemClock::time_point At(int hour, int minute, int second) {
    return SystemClock::from_time_t(1796515200 + hour * 3600 + minute * 60 + second);
}

TEST(RunBuilding, SamplingDurationIsARealTimeDifference) {
    struct Case {
        SystemClock::time_point start;
        SystemClock::time_point last;
        std::uint32_t seconds;
    };
    const Case cases[] = {
        {At(10, 58, 10), At(10, 59, 50), 100},
        {At(10, 58, 50), At(10, 59, 10), 20},
        {At(10, 59, 50), At(11, 0, 10), 20},
        {At(23, 59, 50), At(23, 59, 50) + std::chrono::seconds(3620), 3620}, // past midnight
    };
    for (const Case& c : cases) {
        StoreFixture f;
        SystemClock::time_point now = c.start;
        f.data.SetClock([&] { return now; });
        f.data.StartCollection();
        now = c.last;
        f.Payload(Full({Rec(4, 0, 0, 0, 0, 0, RecordKind::IrqSwitch)}));
        f.data.FinishCollection();
        EXPECT_EQ(f.data.GetSamplingDuration(), c.seconds);
    }
    StoreFixture none;
    none.data.FinishCollection();
    EXPECT_EQ(none.data.GetSamplingDuration(), 0u);
}

TEST(GraphSamples, FoldFunctionEventsIntoTheRunBeforeThem) {
    StoreFixture f;
    std::vector<GraphSample> out{GraphSample{}};
    EXPECT_EQ(f.data.BuildGraphSamples(out, true), 0u);
    EXPECT_EQ(out.size(), 1u); // untouched when there are no samples

    f.data.Write([](StoreState& s) {
        for (const SampleRecord& r : {Rec(1003, 10, 20, 30, 40, 100, RecordKind::TaskSwitch),
                                      Rec(5012, 1, 2, 3, 4, 5, RecordKind::FunctionEnter),
                                      Rec(5012, 1, 1, 1, 1, 1, RecordKind::FunctionExit),
                                      Rec(2007, 9, 0, 0, 0, 0, RecordKind::UserEvent),
                                      Rec(7, 1, 1, 1, 1, 1, RecordKind::IrqSwitch)})
            s.samples.push_back(r);
    });
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

// Names are made unique and their first blank replaced; looking up what is not there adds nothing.
TEST(Store, TaskNamesAreMadeUniqueAndLookupsAddNothing) {
    StoreFixture f;
    f.data.AddOrUpdateTask("Idle", 1001, kTypeTask);
    f.data.AddOrUpdateTask("Idle", 1002, kTypeTask);
    f.data.AddOrUpdateTask("Main Task", 1003, kTypeTask);
    f.data.AddOrUpdateTask("A B C", 1004, kTypeTask);
    EXPECT_EQ(f.Task(1002).name, "Idle_3ea");
    EXPECT_EQ(f.Task(1003).name, "Main_Task");
    EXPECT_EQ(f.Task(1004).name, "A_B C");
    EXPECT_EQ(f.data.GetTaskIdByName("Main_Task"), 1003u);
    EXPECT_EQ(f.data.GetTaskIdByName("nobody"), 0u);
    TaskRecord t;
    ASSERT_TRUE(f.data.GetTaskByIdText("0x3e9", t));
    EXPECT_EQ(t.name, "Idle");
    EXPECT_FALSE(f.data.GetTaskByIdText("zz", t));
    EXPECT_FALSE(f.data.GetTaskByIndex(4, t));
    EXPECT_EQ(f.data.GetTaskType(77), kTypeUnknown);
    std::string name = "unchanged";
    f.data.GetTaskName(77, name);
    EXPECT_EQ(name, "unchanged");
    EXPECT_EQ(f.data.GetTaskCount(), 4u);
}

TEST(Store, ResetClearsTheCollection) {
    StoreFixture f;
    f.Announce({{1, 0, "A"}});
    f.Payload(Full({Rec(1001, 0, 0, 0, 0, 0, RecordKind::TaskSwitch),
                    Rec(1001, 0, 0, 0, 5, 0, RecordKind::TaskSwitch)}));
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
    std::iota(extra.begin(), extra.end(), 100u);
    f.Message(wire::AgentMessage(wire::kMsgExtraWords, wire::WordsPayload(extra)));
    EXPECT_EQ(f.data.Read([](const StoreState& s) { return s.extraWords[21]; }), 121u);
}

TEST(CollectorMessage, TcbBlockAndReadyMadeRecords) {
    StoreFixture f;
    std::vector<std::uint32_t> tcb(42);
    std::iota(tcb.begin(), tcb.end(), 81u);
    EXPECT_EQ(f.Message(wire::AgentMessage(wire::kMsgTcbBlock, wire::WordsPayload(tcb))), 5u);
    std::array<std::uint32_t, 42> got{};
    f.data.GetTcbBlock(got);
    EXPECT_EQ(got[41], 122u);

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
