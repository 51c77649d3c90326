#include "TestSupport.h"

#include <ctime>
#include <functional>
#include <future>
#include <gtest/gtest.h>

namespace zuta::test {
namespace {

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

    const TaskRecord main = f.Task(1001);
    EXPECT_EQ(main.runs, 1u);
    EXPECT_EQ(main.ticks, 160u + 32u);
    EXPECT_EQ(main.sumValue0, 105u);
    EXPECT_EQ(main.lastValue3, 10u);
    const TaskRecord irq = f.Task(7);
    EXPECT_EQ(irq.name, "SWSRC_7");
    EXPECT_EQ(irq.type, kTypeIrq);
    EXPECT_EQ(irq.runs, 1u);
    EXPECT_EQ(f.Task(5003).name, "Fn3");
    EXPECT_EQ(f.Task(5003).type, kTypeFunctionEnter);

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

TEST(RunBuilding, NamesAreMadeUniqueAndTheFirstBlankReplaced) {
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

SystemClock::time_point At(int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = 126;
    tm.tm_mon = 11;
    tm.tm_mday = 6;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return SystemClock::from_time_t(timegm(&tm));
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

} // namespace
} // namespace zuta::test
