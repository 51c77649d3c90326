#include "files/RawLogImport.h"

#include "FileTestSupport.h"
#include "files/SessionFile.h"

#include <gtest/gtest.h>
#include <string>

namespace zuta::test {
namespace {

TEST(CleanLogLineTest, TrimsAndDropsThePrefix) {
    struct Case {
        const char* in;
        const char* out;
    };
    for (const Case c :
         {Case{"  0031:Timer_HISR (7) @15012 \r", ":Timer_HISR (7) @15012"},
          Case{"no colon", "no colon"}, Case{"a:b:c", ":b:c"}, Case{" \t\r\n", ""}, Case{"", ""}}) {
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

} // namespace
} // namespace zuta::test
