#include "files/SessionFile.h"

#include "FileTestSupport.h"

#include <cstdint>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>

namespace zuta::test {
namespace {

using ::testing::ElementsAre;

class SessionFileTest : public ::testing::Test {
protected:
    bool Load(const std::string& path) {
        error.clear();
        return LoadSessionFile(f.data, path, error);
    }
    bool LoadText(const std::string& text) {
        const std::string path = f.folder / "in.zuta";
        WriteFileBytes(path, text);
        return Load(path);
    }
    std::string SaveText() {
        const std::string path = f.folder / "out.zuta";
        std::string saveError;
        EXPECT_TRUE(SaveSessionFile(f.data, path, saveError)) << saveError;
        return ReadFileBytes(path);
    }

    StoreFixture f;
    std::string error;
};

// The store as the version 2 test file describes it.
void ExpectLoadedV2Store(const StoreFixture& f) {
    EXPECT_THAT(
        f.Samples(),
        ElementsAre(Sample(0x3eb, 1, 5120, 300, 20, 7, 320), Sample(0x1394, 4, 100, 10, 2, 1, 6),
                    Sample(0x7d1, 2, 0, 42, 0, 0, 0), Sample(0x3ec, 1, 2000, 150, 10, 3, 125),
                    Sample(0x7, 3, 800, 40, 4, 2, 50), Sample(0x3eb, 1, 6000, 310, 21, 8, 375)));
    // The function event counts into the function and into the task that switched in before it.
    EXPECT_EQ(f.Task(0x3eb), (TaskRecord{"IDLE_TASK", 0x3eb, 0, 2, 620, 43, 16, 375, 11220}));
    EXPECT_EQ(f.Task(0x3ec), (TaskRecord{"Timer_HISR", 0x3ec, 1, 1, 150, 10, 3, 125, 2000}));
    EXPECT_EQ(f.Task(0x7), (TaskRecord{"IRQ7", 0x7, 2, 1, 40, 4, 2, 50, 800}));
    EXPECT_EQ(f.Task(0x1394), (TaskRecord{"Fn12", 0x1394, 3, 0, 0, 0, 0, 0, 0}));
    f.data.Read([](const StoreState& s) {
        EXPECT_EQ(s.cpuType, 1u);
        EXPECT_EQ(s.samplingDuration, 12u);
        EXPECT_EQ(s.userEventCount, 1u); // from the header line, not counted
        EXPECT_EQ(s.switchCount, 4u);
        EXPECT_EQ(s.functionEventCount, 1u);
        EXPECT_EQ(s.sumTicks, 14020u);
        EXPECT_EQ(s.sumValue0, 810u); // the user event's data word is no counter
        EXPECT_EQ(s.sumValue1, 57u);
        EXPECT_EQ(s.sumValue2, 21u);
    });
}

// The version 2 file loads without touching the settings and is saved as version 3; the same
// collection in a version 3 file loads alike, with CR LF or LF line ends, from a file or from
// memory.
TEST_F(SessionFileTest, Version2AndVersion3FilesLoadTheSameStore) {
    f.settings.armClockMhz = 156.0f;
    ASSERT_TRUE(Load(DataFile("session_v2.zuta"))) << error;
    ExpectLoadedV2Store(f);
    EXPECT_TRUE(f.sink.Posted().empty());
    EXPECT_EQ(f.settings.armClockMhz, 156.0f);
    EXPECT_FALSE(f.settings.simpleMode);
    EXPECT_FALSE(f.settings.externalTsMode);
    std::array<std::uint32_t, 4> words{};
    ASSERT_TRUE(f.memory.GetWords(0x3eb, words));
    // The line holds word 1 first.
    EXPECT_THAT(words, ElementsAre(0u, 4096u, 0u, 0u));
    f.settings.armClockMhz = 200.0f; // the clock the expected file was saved with
    EXPECT_EQ(SaveText(), ReadFileBytes(DataFile("session_v2.resaved.zuta")));

    StoreFixture crlf;
    ASSERT_TRUE(LoadSessionFile(crlf.data, DataFile("session_v3_crlf.zuta"), error)) << error;
    ExpectLoadedV2Store(crlf);
    std::string lf = ReadFileBytes(DataFile("session_v3_crlf.zuta"));
    std::erase(lf, '\r');
    StoreFixture memory;
    std::uint64_t done = 0;
    std::uint64_t total = 0;
    ASSERT_TRUE(LoadSessionData(memory.data, lf, error, [&](std::uint64_t d, std::uint64_t t) {
        done = d;
        total = t;
    })) << error;
    ExpectLoadedV2Store(memory);
    EXPECT_EQ(done, lf.size());
    EXPECT_EQ(total, lf.size());
}

TEST_F(SessionFileTest, Version3ClockSwitchesModesAndNotifies) {
    struct Case {
        const char* clockLine;
        bool modes;
        float clock;
    };
    // A clock that is no usable number of MHz is unknown, which the file's clock 0 stands for.
    for (const Case c :
         {Case{"CoreClock= 0.000000", true, 200.0f}, Case{"CoreClock= 200.000000", false, 200.0f},
          Case{"CoreClock= 104.5", false, 104.5f}, Case{"CoreClock= abc", true, 200.0f},
          Case{"CoreClock= 1e39", true, 200.0f}, Case{"CoreClock= -208.000000", true, 200.0f}}) {
        SCOPED_TRACE(c.clockLine);
        StoreFixture s;
        s.settings.armClockMhz = 200.0f;
        s.settings.simpleMode = !c.modes;
        s.settings.externalTsMode = !c.modes;
        s.data.SetSimpleMode(!c.modes);
        s.data.SetExternalTsMode(!c.modes);
        const std::string path = s.folder / "clock.zuta";
        WriteFileBytes(path, std::string("DCRaw , 3 , 1\n") + c.clockLine +
                                 "\nSampling duration 1\nTasksCount= 1\nUserDataCount= 0\n"
                                 "A , 0x3eb , 1 , 0 , 0 , 0 , 0, 0 \nEventsCount= 1\n"
                                 "0x3eb, 1; 5 , 1 , 2 , 3 , 4\n");
        ASSERT_TRUE(LoadSessionFile(s.data, path, error)) << error;
        EXPECT_EQ(s.data.simpleMode(), c.modes);
        EXPECT_EQ(s.data.externalTsMode(), c.modes);
        EXPECT_EQ(s.settings.simpleMode, c.modes);
        EXPECT_EQ(s.settings.externalTsMode, c.modes);
        EXPECT_EQ(s.settings.armClockMhz, c.clock);
        EXPECT_THAT(s.sink.Posted(), ElementsAre(std::pair<std::uint32_t, std::uint32_t>(
                                         host::kNotifyStatus, host::kCodeSamplingFlagsChanged)));
        // The settings change in memory only.
        EXPECT_EQ(s.store.commitCount(), 0u);
    }
}

// The clock line says which modes the counters were taken in; a full-mode collection whose clock
// is not known has none (version 2), so that reading it back does not switch the modes on.
TEST_F(SessionFileTest, ClockLineFollowsTheModes) {
    struct Case {
        bool simpleStore;
        bool externalTsSettings;
        float clock;
        const char* head;
    };
    for (const Case c : {Case{false, false, 208.7f, "DCRaw , 3 , 1\nCoreClock= 208.699997\n"},
                         Case{false, true, 208.7f, "DCRaw , 3 , 1\nCoreClock= 10000.000000\n"},
                         Case{true, true, 208.7f, "DCRaw , 3 , 1\nCoreClock= 0.000000\n"},
                         Case{false, false, -5.0f, "DCRaw , 2 , 1\nSampling duration "}}) {
        SCOPED_TRACE(c.head);
        StoreFixture s;
        s.Fill([](StoreState& state) {
            state.AddOrUpdateTask("A", 0x3eb, 0);
            state.samples.push_back(Sample(0x3eb, 1, 1, 2, 3, 4, 5));
        });
        s.data.SetSimpleMode(c.simpleStore);
        s.settings.externalTsMode = c.externalTsSettings;
        s.settings.armClockMhz = c.clock;
        const std::string path = s.folder / "out.zuta";
        ASSERT_TRUE(SaveSessionFile(s.data, path, error)) << error;
        EXPECT_TRUE(ReadFileBytes(path).starts_with(c.head));
        ASSERT_TRUE(LoadSessionFile(s.data, path, error)) << error;
        EXPECT_EQ(s.data.simpleMode(), c.simpleStore);
        EXPECT_EQ(s.data.externalTsMode(), c.simpleStore);
        EXPECT_EQ(s.settings.simpleMode, c.simpleStore);
    }
}

// Some 5 MB: lines of every length meet the ends of the reader's 1 MB blocks; a long name, a run
// count past 2^31 (read back sign-extended), one past 2^32 (its low 32 bits kept) and every kind
// of sample come back as written.
TEST_F(SessionFileTest, SaveLoadSaveIsByteIdenticalAcrossReadBlocks) {
    const std::string longName(150, 'N');
    f.data.SetCpuType(0);
    f.memory.AddEntry(1001, "Main", {1, 2, 3, 4});
    f.Fill([&](StoreState& s) {
        s.samplingDuration = 77;
        s.userEventCount = 5;
        s.AddOrUpdateTask("Main", 1001, 0).runs = 3'000'000'000u;
        s.AddOrUpdateTask(longName, 1002, 1).runs = 4;
        s.AddOrUpdateTask("IRQ0", 0, 2).runs = 1;
        s.AddOrUpdateTask("Fn3", 5003, 4).runs = 5'000'000'000ull;
        const std::uint32_t ids[] = {1001, 1002, 0, 5003, 2007};
        const std::uint32_t kinds[] = {1, 1, 3, 5, 2};
        std::uint32_t x = 7;
        for (std::uint32_t i = 0; i < 120000; ++i) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            const std::uint32_t digits = x % 10;
            std::uint32_t v = x;
            for (std::uint32_t d = 0; d < digits; ++d)
                v /= 10;
            s.samples.push_back(Sample(ids[x % 5], kinds[x % 5], v, x >> digits, i, x % 1000, ~x));
        }
    });
    const auto samples = f.Samples();
    const std::string first = SaveText();
    ASSERT_GT(first.size(), std::size_t{4} << 20);
    EXPECT_TRUE(first.starts_with("DCRaw , 3 , 0\n"));
    ASSERT_TRUE(Load(f.folder / "out.zuta")) << error;
    EXPECT_EQ(f.Samples(), samples);
    EXPECT_EQ(f.Task(1001).runs, 0xFFFFFFFFB2D05E00ull);
    EXPECT_EQ(f.Task(5003).runs, 705032704u);
    EXPECT_EQ(f.Task(1002).name, longName);
    EXPECT_EQ(SaveText(), first);
    ASSERT_TRUE(LoadSessionData(f.data, first, error)) << error;
    EXPECT_EQ(f.Samples(), samples);
}

// The count lines are read with or without blanks after "=".
TEST_F(SessionFileTest, EventLinesAreReadAsScanfReadsThem) {
    const char* taskCounts[] = {"TasksCount= 1\n", "TasksCount=1\n", "TasksCount=\t 1\n"};
    const char* eventCounts[] = {"EventsCount= 2\n", "EventsCount=2\n"};
    int i = 0;
    struct Case {
        const char* line;
        SampleRecord expected;
    };
    const SampleRecord plain = Sample(0x3eb, 1, 5120, 300, 20, 7, 5110);
    for (const Case c : {
             Case{"0x3eb, 1; 5120 , 300 , 20 , 7 , 5110\n", plain},
             Case{"0x3EB,1;5120,300,20,7,5110\n", plain},
             Case{"0x 3eb,\t1;\t5120\t,300 ,  20 ,7 , 5110\r\n", plain},
             Case{"0x3eb, 1; 5120 , 300 , 20 , 7 , 5110\r\n\r\n\n  \n", plain},
             // Numbers are cut to 32 bits.
             Case{"0x123456789, 1; -1 , 300 , 20 , 7 , 5110\n",
                  Sample(0x23456789, 1, 4294967295u, 300, 20, 7, 5110)},
         }) {
        SCOPED_TRACE(c.line);
        ASSERT_TRUE(LoadText(std::string("DCRaw , 2 , 1\nSampling duration 1\n") +
                             taskCounts[i % 3] +
                             "UserDataCount= 0\nA , 0x3eb , 1 , 0 , 0 , 0 , 0, 0 \n" +
                             eventCounts[i % 2] + c.line + "0x7, 3; 1 , 2 , 3 , 4 , 5\n"))
            << error;
        ++i;
        EXPECT_THAT(f.Samples(), ElementsAre(c.expected, Sample(7, 3, 1, 2, 3, 4, 5)));
    }
}

TEST_F(SessionFileTest, NamesThatWouldNotReadBackAreWrittenAsOneWord) {
    f.Fill([](StoreState& s) {
        s.AddOrUpdateTask("", 1, 2);
        s.AddOrUpdateTask("a b\tc", 2, 2); // the store already made the first blank "_"
        s.samples.push_back(Sample(1, 3, 1, 0, 0, 0, 0));
    });
    const std::string text = SaveText();
    EXPECT_NE(text.find("\n_ , 0x1 , 0 , 2 ,"), std::string::npos);
    EXPECT_NE(text.find("\na_b_c , 0x2 , 0 , 2 ,"), std::string::npos);
    ASSERT_TRUE(Load(f.folder / "out.zuta")) << error;
    EXPECT_EQ(f.Task(1).name, "_");
    EXPECT_EQ(f.Task(2).name, "a_b_c");
    EXPECT_EQ(f.Task(2).type, 2u);
}

TEST_F(SessionFileTest, FunctionTaskTeachesItsNameOnlyWhenUnknown) {
    const std::string file = ReadFileBytes(DataFile("function_names.zuta"));
    f.data.functionNames().SetName(13, "Known");
    ASSERT_TRUE(LoadText(file)) << error;
    std::string name;
    EXPECT_TRUE(f.data.functionNames().Lookup(12, name));
    EXPECT_EQ(name, "Fn12");
    EXPECT_TRUE(f.data.functionNames().Lookup(13, name));
    EXPECT_EQ(name, "Known");
    EXPECT_EQ(f.store.ReadString("Fn Mapping", "0"), "Fn12 , 12");
    EXPECT_EQ(f.store.commitCount(), 1u);

    // Nothing new to learn: nothing is saved.
    ASSERT_TRUE(LoadText(file)) << error;
    EXPECT_EQ(f.store.commitCount(), 1u);

    // A file that ends early saves what it taught as well.
    EXPECT_FALSE(LoadText(file.substr(0, file.find("Leave13"))));
    EXPECT_EQ(f.store.commitCount(), 1u);
    EXPECT_FALSE(LoadText("DCRaw , 2 , 1\nSampling duration 1\nTasksCount= 2\nUserDataCount= 0\n"
                          "Fn20 , 0x139c , 0 , 3 , 0 , 0 , 0, 0 \nLeave21 , 0x139d"));
    EXPECT_EQ(f.store.ReadString("Fn Mapping", "2"), "Fn20 , 20");
    EXPECT_EQ(f.store.commitCount(), 2u);
}

TEST_F(SessionFileTest, MemoryWordsComeBackInPlaceAndEarlierEntriesWin) {
    f.memory.AddEntry(0x3ec, "Announced", {1, 2, 3, 4});
    ASSERT_TRUE(Load(DataFile("memory_words.zuta"))) << error;
    std::array<std::uint32_t, 4> words{};
    ASSERT_TRUE(f.memory.GetWords(0x3eb, words));
    EXPECT_THAT(words, ElementsAre(6u, 5u, 7u, 8u));
    ASSERT_TRUE(f.memory.GetWords(0x3ec, words));
    EXPECT_THAT(words, ElementsAre(1u, 2u, 3u, 4u));
    const std::string text = SaveText();
    EXPECT_NE(text.find("\nA , 0x3eb , 1 , 0 , 5 , 6 , 7, 8 \n"), std::string::npos);
    EXPECT_NE(text.find("\nB , 0x3ec , 1 , 0 , 2 , 1 , 3, 4 \n"), std::string::npos);
}

// Reloading gives the figures the collection had: every function event after a run sample counts
// into that run's task, none into the function's own record. A malformed event line keeps the
// fields of the line before it.
TEST_F(SessionFileTest, FunctionEventsCountIntoTheRunBeforeThem) {
    ASSERT_TRUE(Load(DataFile("function_events_after_a_run.zuta"))) << error;
    EXPECT_THAT(f.Samples(),
                ElementsAre(Sample(0x3e9, 1, 100, 10, 0, 0, 1), Sample(0x1389, 4, 20, 10, 0, 0, 1),
                            Sample(0x138a, 5, 30, 3, 0, 0, 3)));
    EXPECT_EQ(f.Task(0x3e9).ticks, 150u);
    EXPECT_EQ(f.Task(0x3e9).sumValue0, 23u);
    EXPECT_EQ(f.Task(0x3e9).lastValue3, 3u);
    EXPECT_EQ(f.Task(0x3e9).runs, 1u); // from the task line, not counted
    EXPECT_EQ(f.Task(0x1389).ticks, 0u);
    EXPECT_EQ(f.Task(0x138a).ticks, 0u);
    EXPECT_EQ(f.data.GetFunctionEventCount(), 2u);
}

} // namespace
} // namespace zuta::test
