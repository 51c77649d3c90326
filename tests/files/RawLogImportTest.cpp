#include "files/RawLogImport.h"

#include "FileTestSupport.h"
#include "files/SessionFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>

namespace zuta::test {
namespace {

using ::testing::ElementsAre;

TEST(CleanLogLineTest, TrimsAndDropsThePrefix) {
    struct Case {
        const char* in;
        const char* out;
    };
    for (const Case c :
         {Case{"  0031:Timer_HISR (7) @15012 \r", ":Timer_HISR (7) @15012"},
          Case{":starts with colon", ":starts with colon"}, Case{"no colon", "no colon"},
          Case{"a:b:c", ":b:c"}, Case{" \t\r\n", ""}, Case{"x: y ", ": y"}, Case{"", ""}}) {
        std::string line = c.in;
        CleanLogLine(line);
        EXPECT_EQ(line, c.out) << '"' << c.in << '"';
    }
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

SampleRecord Switch(std::uint32_t id, std::uint32_t kind, std::uint32_t ticks) {
    return SampleRecord{id, 0, 0, 0, 0, ticks, kind};
}

TEST_F(RawLogImportTest, ThreadsAndHisrsBecomeRunsWithTimeDifferences) {
    ASSERT_TRUE(Import("1:A_THREAD (3) @100\n1:B_HISR (4) @150\n1:A_THREAD (3) @400\n")) << error;
    EXPECT_THAT(f.Samples(), ElementsAre(Switch(3, 1, 0), Switch(4, 1, 50), Switch(3, 1, 250)));
    EXPECT_EQ(f.Task(3), (TaskRecord{"A_THREAD", 3, 0, 2, 0, 0, 0, 0, 250}));
    EXPECT_EQ(f.Task(4), (TaskRecord{"B_HISR", 4, 1, 1, 0, 0, 0, 0, 50}));
    f.data.Read([](const StoreState& s) {
        EXPECT_EQ(s.switchCount, 3u);
        EXPECT_EQ(s.sumTicks, 300u);
    });
}

TEST_F(RawLogImportTest, FunctionNamesGetIdentifiersFrom15001) {
    ASSERT_TRUE(Import("1:Init_ENTER x\n1:Init_EXIT x\n1:Init_ENTER x\n")) << error;
    EXPECT_THAT(f.Samples(),
                ElementsAre(Switch(15001, 4, 0), Switch(15002, 5, 0), Switch(15001, 4, 0)));
    EXPECT_EQ(f.Task(15001).name, "Init_ENTER");
    EXPECT_EQ(f.Task(15001).type, 3u);
    EXPECT_EQ(f.Task(15001).runs, 2u);
    EXPECT_EQ(f.Task(15002).name, "Init_EXIT");
    EXPECT_EQ(f.Task(15002).type, 4u);
    EXPECT_EQ(f.data.GetFunctionEventCount(), 3u);

    // A second import starts counting again.
    ASSERT_TRUE(Import("1:Other_EXIT x\n")) << error;
    EXPECT_EQ(f.Task(15001).name, "Other_EXIT");
}

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

TEST_F(RawLogImportTest, UnclassifiedLinesTakeTheLastClass) {
    ASSERT_TRUE(Import("plain\n1:U_INT (9) @10\nno suffix (4) @15\n")) << error;
    EXPECT_THAT(f.Samples(), ElementsAre(Switch(0, 1, 0), Switch(9, 3, 10), Switch(4, 3, 5)));
    EXPECT_EQ(f.Task(0), (TaskRecord{"", 0, 0, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(f.Task(4).type, 2u);
    EXPECT_EQ(f.Task(4).name, "_4"); // the empty name is taken by identifier 0
}

TEST_F(RawLogImportTest, TimeStampWrapsAndCarriesOver) {
    ASSERT_TRUE(Import("1:A_THREAD (3) @100\n1:A_THREAD (3) @40\n1:B_THREAD (4)\n")) << error;
    EXPECT_THAT(f.Samples(),
                ElementsAre(Switch(3, 1, 0), Switch(3, 1, 4294967236u), Switch(4, 1, 0)));
}

TEST_F(RawLogImportTest, FunctionTimeCountsIntoTheRunningTask) {
    ASSERT_TRUE(Import("1:A_THREAD (3) @100\n1:F_ENTER x @130\n1:F_EXIT x @135\n")) << error;
    EXPECT_EQ(f.Task(3), (TaskRecord{"A_THREAD", 3, 0, 1, 0, 0, 0, 0, 35}));
    EXPECT_EQ(f.Task(15001).ticks, 30u);
    EXPECT_EQ(f.Task(15002).ticks, 5u);
    f.data.Read([](const StoreState& s) {
        EXPECT_EQ(s.switchCount, 1u);
        EXPECT_EQ(s.functionEventCount, 2u);
        EXPECT_EQ(s.sumTicks, 35u);
    });
}

TEST_F(RawLogImportTest, OnlyLinesEndingInALineFeedCount) {
    ASSERT_TRUE(Import("1:A_THREAD (3) @100\r\n1:B_HISR (4) @150")) << error;
    EXPECT_THAT(f.Samples(), ElementsAre(Switch(3, 1, 0)));
    EXPECT_FALSE(Import("1:A_THREAD (3) @100"));
    EXPECT_TRUE(f.Samples().empty());
    EXPECT_EQ(f.data.GetTaskCount(), 0u);
    EXPECT_FALSE(Import(""));
}

TEST_F(RawLogImportTest, LogWithoutAnyClassSuffixIsRefusedAndLeavesNothing) {
    EXPECT_FALSE(Import("0001:Main (3) @100\nplain\n"));
    EXPECT_EQ(f.data.GetTaskCount(), 0u);
    EXPECT_TRUE(f.Samples().empty());
}

TEST_F(RawLogImportTest, MissingFileLeavesTheStoreAlone) {
    f.Fill([](StoreState& s) {
        s.AddOrUpdateTask("Kept", 1001, 0);
        s.sumTicks = 9;
    });
    EXPECT_FALSE(ImportRawLog(f.data, f.folder / "missing.log", error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(f.data.GetTaskCount(), 1u);
    f.data.Read([](const StoreState& s) { EXPECT_EQ(s.sumTicks, 0u); });
}

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
}

} // namespace
} // namespace zuta::test
