// The files of a collection: session files saved and loaded, raw logs imported, text exports, and
// files that do not load whole or paths that cannot be read or written; and the version resource of
// the analyser's executable.
#include "files/ExecutableVersion.h"
#include "files/RawLogImport.h"
#include "files/SessionFile.h"
#include "files/TextExport.h"
#include "files/TextScanner.h"
#include "support/StoreServices.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <stop_token>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace zuta::test {
namespace {

using ::testing::ElementsAre;

std::string DataFile(const std::string& name) {
    return std::string(ZUTA_TEST_DATA_DIR) + "/files/" + name;
}

// A store wired as the view wires it, filled directly or from files, with what it reports
// recorded.
struct StoreFixture : StoreServices {
    StoreFixture() { Connect(data, sink); }

    std::vector<SampleRecord> Samples() const { return AllSamples(data); }
    std::vector<TaskRecord> Tasks() const {
        return data.Read([](const StoreState& s) {
            std::vector<TaskRecord> out;
            for (const auto& [id, task] : s.tasks)
                out.push_back(task);
            return out;
        });
    }
    TaskRecord Task(std::uint32_t id) const { return TaskOf(data, id); }
    template <class F> void Fill(F&& f) { data.Write(std::forward<F>(f)); }

    RecordingSink sink;
    CPerformanceData data;
};

SampleRecord Sample(std::uint32_t id, std::uint32_t kind, std::uint32_t ticks, std::uint32_t v0,
                    std::uint32_t v1, std::uint32_t v2, std::uint32_t v3) {
    return SampleRecord{id, v0, v1, v2, v3, ticks, kind};
}

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

    // The save tells of every stretch of samples written; stopped, it leaves the old file.
    const std::string kept = f.folder / "kept.zuta";
    WriteFileBytes(kept, "the old file\n");
    std::vector<std::uint64_t> written;
    std::stop_source stop;
    const auto progress = [&](std::uint64_t done, std::uint64_t total) {
        EXPECT_EQ(total, samples.size());
        written.push_back(done);
        stop.request_stop();
    };
    EXPECT_FALSE(SaveSessionFile(f.data, kept, error, progress, stop.get_token()));
    EXPECT_EQ(error, "cancelled");
    EXPECT_EQ(ReadFileBytes(kept), "the old file\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(f.folder.path()), {}), 2);
    ASSERT_TRUE(SaveSessionFile(f.data, kept, error, progress)) << error;
    EXPECT_EQ(written, (std::vector<std::uint64_t>{65536, 65536, 120000}));
    EXPECT_EQ(ReadFileBytes(kept), first);
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

class RawLogImportTest : public ::testing::Test {
protected:
    bool Import(const std::string& text) {
        error.clear();
        const std::string path = f.folder / "in.log";
        WriteFileBytes(path, text);
        return ImportRawLog(f.data, path, error);
    }

    StoreFixture f;
    std::string error;
};

TEST_F(RawLogImportTest, ClassesAreTriedInOrder) {
    struct Case {
        const char* line;
        std::uint32_t id;
        const char* name;
        std::uint32_t type;
        std::uint32_t kind;
    };
    for (const Case c : {
             Case{"1:Tick_INT_HISR (2) @5\n", 2, "Tick_INT_HISR", 1, 1},
             Case{"1:Uart_INT (18) @5\n", 18, "Uart_INT", 2, 3},
             // Only what comes before the first colon is dropped.
             Case{"1:A:B_THREAD (3) @5\n", 3, "A:B_THREAD", 0, 1},
             Case{"1:Foo_ENTRY (9) x\n", 15001, "Foo_ENTRY", 3, 4},
             Case{"1:Foo_ENTER_ENTRY (9) x\n", 15001, "Foo_ENTER_ENTRY", 3, 4},
             Case{"1:Bar_EXIT_THREAD (4) x\n", 15001, "Bar_EXIT_THREAD", 4, 5},
             // The suffix is the last word: no blank follows it, so the name is empty.
             Case{"1:Last_ENTER\n", 15001, "", 3, 4},
             // Without a colon the name starts at the second character.
             Case{"Main_THREAD (7) @1\n", 7, "ain_THREAD", 0, 1},
             // The number is read only when ")" follows "(".
             Case{"1:A_THREAD )3( @1\n", 0, "A_THREAD", 0, 1},
             Case{"1:A_THREAD ( 12abc) @1\n", 12, "A_THREAD", 0, 1},
         }) {
        SCOPED_TRACE(c.line);
        ASSERT_TRUE(Import(c.line)) << error;
        ASSERT_EQ(f.Samples().size(), 1u);
        EXPECT_EQ(f.Samples()[0].id, c.id);
        EXPECT_EQ(f.Samples()[0].kind, c.kind);
        EXPECT_EQ(f.Task(c.id).name, c.name);
        EXPECT_EQ(f.Task(c.id).type, c.type);
    }
}

// The boot log has every class, unclassified lines, function time while a task runs, a time stamp
// that wraps, lines without one, and a last line without a line feed.
TEST_F(RawLogImportTest, BootLogBecomesTheExpectedSession) {
    ASSERT_TRUE(ImportRawLog(f.data, DataFile("boot.log"), error)) << error;
    EXPECT_EQ(f.Task(3).ticks, 4294967096u); // its own runs plus the functions while it ran
    f.data.Read([](const StoreState& s) {
        EXPECT_EQ(s.switchCount, 9u);
        EXPECT_EQ(s.functionEventCount, 4u);
        EXPECT_EQ(s.sumTicks, 4294967256u);
    });
    const std::string out = f.folder / "boot.zuta";
    ASSERT_TRUE(SaveSessionFile(f.data, out, error)) << error;
    EXPECT_EQ(ReadFileBytes(out), ReadFileBytes(DataFile("boot.expected.zuta")));

    // A second import numbers its functions from 15001 again; before any class a line is a
    // thread's.
    ASSERT_TRUE(Import("plain\n1:Other_EXIT x\r\n")) << error;
    EXPECT_EQ(f.Task(15001).name, "Other_EXIT");
    EXPECT_EQ(f.Task(0).type, 0u);
    EXPECT_EQ(f.Samples().front().kind, 1u);
}

class TextExportTest : public ::testing::Test {
protected:
    TextExportTest() {
        f.settings.armClockMhz = 208.7f;
        f.Fill([](StoreState& s) {
            s.sumTicks = 1000;
            // Name, id, type, runs, the sums of counters A to C, the last counter D, ticks.
            s.AddOrUpdateTask("A", 0x3e9, 0) = {"A", 0x3e9, 0, 3, 40, 7, 3, 0, 250};
            s.AddOrUpdateTask("B", 0x3ea, 1) = {"B", 0x3ea, 1, 0, 100, 0, 0, 0, 50};
            s.AddOrUpdateTask("C", 7, 2) = {"C", 7, 2, 5'000'000'000, 0, 0, 0, 0, (1ull << 63) + 5};
        });
    }

    std::string Export(const std::vector<std::string>& rows) {
        const std::string path = f.folder / "out.txt";
        std::string error;
        EXPECT_TRUE(WriteTextExport(f.data, f.settings, rows, path, error)) << error;
        return ReadFileBytes(path);
    }

    StoreFixture f;
};

TEST_F(TextExportTest, WritesOneLinePerKnownRowInTableOrder) {
    EXPECT_EQ(Export({}), kTextExportHeader);
    EXPECT_EQ(Export({"0x7", "0x3e9", "0xdead", "junk", "0x3ea"}),
              "TaskName;TaskID;SwitchCount;ActiveTime;Instruction Executed;Access Duration;"
              "Access Count;ICacheMiss;CPI;MIPS;MHz\n"
              // "%I64d" of a counter past 2^63, and a product that wrapped.
              "C;0x7;705032704;-9223372036854775803;0;0;0;0.00;0.00;0.00;1.04\n"
              // 3 / 40 is 0.075: below the tie as a double, above it as a float.
              "A;0x3e9;3;250;40;7;3;0.08;6.25;8.32;52.00\n"
              // No runs: only MIPS is given.
              "B;0x3ea;0;50;100;0;0;0.00;0.00;20.80;0.00\n");
    // No ticks at all give zero rates; an unknown task no line.
    f.Fill([](StoreState& s) { s.sumTicks = 0; });
    EXPECT_EQ(FormatExportLine(f.data, 0x3e9, 208), "A;0x3e9;3;250;40;7;3;0.08;6.25;0.00;0.00\n");
    EXPECT_EQ(FormatExportLine(f.data, 0x999, 208), "");

    // The clock is a whole number of megahertz.
    struct Case {
        float clock;
        bool externalTs;
        std::int64_t k;
    };
    for (const Case c : {Case{208.7f, false, 208}, Case{208.7f, true, 10000}, Case{0.0f, false, 1},
                         Case{0.5f, false, 0}, Case{-3.9f, false, -3}}) {
        PerformanceSettings settings;
        settings.armClockMhz = c.clock;
        settings.externalTsMode = c.externalTs;
        EXPECT_EQ(ExportClockMhz(settings), c.k) << c.clock << " " << c.externalTs;
    }
}

// A raw log (".log") imported or a session file loaded.
bool Load(StoreFixture& f, const std::string& path, std::string& error,
          std::vector<std::string>& warnings) {
    return path.ends_with(".log") ? ImportRawLog(f.data, path, error, &warnings)
                                  : LoadSessionFile(f.data, path, error, {}, &warnings);
}

// What a load reports: "error: ..." when it failed, else "samples: N" and one "warning: ..." line
// a warning.
std::string Report(const std::string& path) {
    StoreFixture f;
    std::string error;
    std::vector<std::string> warnings;
    if (!Load(f, path, error, warnings))
        return "error: " + error + "\n";
    std::string report = "samples: " + std::to_string(f.Samples().size()) + "\n";
    for (const std::string& warning : warnings)
        report += "warning: " + warning + "\n";
    return report;
}

// Every input in files/bad/ next to the report it must give (<input>.expected).
TEST(BadInputs, GiveTheExpectedReport) {
    int inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(DataFile("bad"))) {
        const std::string path = entry.path().string();
        if (path.ends_with(".expected"))
            continue;
        ++inputs;
        EXPECT_EQ(Report(path), ReadFileBytes(path + ".expected")) << path;
    }
    EXPECT_GT(inputs, 0);
}

// A line far longer than any real one is read up to 1 MiB; the rest of it is skipped and what
// follows it loads as usual.
TEST(BadInputs, LongLinesAreCutAndCounted) {
    const std::string junk(3 << 20, 'N');
    struct Case {
        const char* file;
        std::string text;
        std::string firstTask; // as read from the first 1 MiB of its line
    };
    const Case cases[] = {
        {"long.zuta",
         "DCRaw , 2 , 1\nSampling duration 1\nTasksCount= 2\nUserDataCount= 0\n" + junk +
             " , 0x3e9 , 1 , 0 , 0 , 0 , 0, 0 \nIdle , 0x3ea , 1 , 0 , 0 , 0 , 0, 0 \n"
             "EventsCount= 1\n0x3ea, 1; 5 , 1 , 2 , 3 , 4\n",
         junk.substr(0, kMaxLineLength)},
        {"long.log", "1:Main_THREAD (3) @7 " + junk + "\n1:Idle_THREAD (4) @9\n", "Main_THREAD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        StoreFixture f;
        const std::string path = f.folder / c.file;
        WriteFileBytes(path, c.text);
        std::string error;
        std::vector<std::string> warnings;
        ASSERT_TRUE(Load(f, path, error, warnings)) << error;
        EXPECT_EQ(warnings, std::vector<std::string>{"1 line longer than 1 MiB was cut"});
        const std::vector<TaskRecord> tasks = f.Tasks();
        ASSERT_EQ(tasks.size(), 2u);
        EXPECT_TRUE(tasks[0].name == c.firstTask) << tasks[0].name.size();
        EXPECT_EQ(tasks[1].name.substr(0, 4), "Idle");
        EXPECT_EQ(f.Samples().size(), std::string(c.file).ends_with(".log") ? 2u : 1u);
    }
}

// Each cause is told in the system's own words, by load, import, save and export alike.
TEST(BadInputs, FileErrorsSayWhatHappened) {
    StoreFixture f;
    f.Fill([](StoreState& s) {
        s.AddOrUpdateTask("A", 0x3e9, 0);
        s.samples.push_back(Sample(0x3e9, 1, 1, 0, 0, 0, 0));
    });
    const std::string folder = f.folder.path().string();
    const std::string locked = folder + "/locked";
    std::filesystem::create_directory(locked);
    ::chmod(locked.c_str(), 0555);

    // What cannot be opened to load or import leaves the tasks the store held.
    StoreFixture target;
    target.Fill([](StoreState& s) { s.AddOrUpdateTask("Kept", 1001, 0); });
    const std::vector<std::string> rows{"0x3e9"};
    const std::map<char, std::function<bool(const std::string&, std::string&)>> ops = {
        {'L', [&](auto& path, auto& error) { return LoadSessionFile(target.data, path, error); }},
        {'I', [&](auto& path, auto& error) { return ImportRawLog(target.data, path, error); }},
        {'S', [&](auto& path, auto& error) { return SaveSessionFile(f.data, path, error); }},
        {'E', [&](auto& path,
                  auto& error) { return WriteTextExport(f.data, f.settings, rows, path, error); }},
    };
    struct Case {
        std::string path;
        const char* ops; // L load, I import, S save, E export
        const char* reason;
        bool opens = false;
    };
    std::vector<Case> cases = {
        {folder + "/no/such/folder/file", "LISE", "No such file or directory"},
        {folder, "LISE", "Is a directory"},
        {"/dev/full", "SE", "No space left on device"},
        // Reading a process's memory from its start fails on every read.
        {"/proc/self/mem", "LI", "Input/output error", true},
    };
    if (::geteuid() != 0) // permissions do not hold back root
        cases.push_back({locked + "/out", "SE", "Permission denied"});
    for (const Case& c : cases) {
        for (const char* op = c.ops; *op != '\0'; ++op) {
            SCOPED_TRACE(c.path + " " + *op);
            std::string error;
            EXPECT_FALSE(ops.at(*op)(c.path, error));
            EXPECT_TRUE(error.ends_with(c.reason)) << error;
            EXPECT_EQ(target.data.GetTaskCount(), c.opens ? 0u : 1u);
        }
    }
    ::chmod(locked.c_str(), 0755);
}

// Small Windows executables laid out as a linker lays them out: DOS and PE headers, one resource
// section holding a version resource (fixed information, one string table, the translation).
const std::string kExeDir = ZUTA_TEST_DATA_DIR "/files/exe/";

std::vector<std::uint8_t> Image(const std::string& name) {
    const std::string bytes = ReadFileBytes(kExeDir + name);
    return {bytes.begin(), bytes.end()};
}

TEST(ExecutableVersionTest, FileVersionOfTheUsEnglishUnicodeTable) {
    const std::pair<const char*, const char*> cases[] = {
        {"version-7.1.0.123.exe", "7.1.0.123"},
        {"version-17.1.0.exe", "17.1.0"},
        {"pe32plus.exe", "7.1.0.123"},
        // Other tables, no resources, an empty entry: no version.
        {"german-table.exe", ""},
        {"table-040904e4.exe", ""},
        {"no-resources.exe", ""},
        {"empty-version.exe", ""},
    };
    for (const auto& [name, version] : cases) {
        const std::vector<std::uint8_t> image = Image(name);
        ASSERT_FALSE(image.empty()) << name;
        EXPECT_EQ(ReadExecutableVersion(image), version) << name;
        EXPECT_EQ(ReadExecutableVersionOfFile(kExeDir + name), version) << name;
    }
    // This test program, a folder, nothing at all.
    EXPECT_EQ(ReadExecutableVersionOfFile("/proc/self/exe"), "");
    EXPECT_EQ(ReadExecutableVersionOfFile(kExeDir), "");
    EXPECT_EQ(ReadExecutableVersionOfFile(kExeDir + "missing.exe"), "");
}

TEST(ExecutableVersionTest, CutOrDamagedImagesGiveNoVersionOrTheirOwn) {
    const std::vector<std::uint8_t> image = Image("version-7.1.0.123.exe");
    for (std::size_t size = 0; size < image.size(); ++size) {
        const std::string version =
            ReadExecutableVersion(std::span<const std::uint8_t>(image.data(), size));
        EXPECT_TRUE(version.empty() || version == "7.1.0.123") << size;
    }
    // Every byte in turn at its most harmful: lengths, offsets and counts at their largest.
    for (std::size_t at = 0; at < image.size(); ++at) {
        for (const std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
            std::vector<std::uint8_t> damaged = image;
            damaged[at] = value;
            ReadExecutableVersion(damaged);
        }
    }
}

} // namespace
} // namespace zuta::test
