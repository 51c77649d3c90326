#include "files/TextExport.h"

#include "FileTestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace zuta::test {
namespace {

class TextExportTest : public ::testing::Test {
protected:
    TextExportTest() {
        f.settings.armClockMhz = 208.7f;
        f.Fill([](StoreState& s) {
            s.sumTicks = 1000;
            TaskRecord& a = s.AddOrUpdateTask("A", 0x3e9, 0);
            a.runs = 3;
            a.ticks = 250;
            a.sumValue0 = 40;
            a.sumValue1 = 7;
            a.sumValue2 = 3;
            TaskRecord& b = s.AddOrUpdateTask("B", 0x3ea, 1);
            b.ticks = 50;
            b.sumValue0 = 100;
            TaskRecord& c = s.AddOrUpdateTask("C", 7, 2);
            c.runs = 5'000'000'000ull;
            c.ticks = (1ull << 63) + 5;
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
}

TEST_F(TextExportTest, ClockIsAWholeNumberOfMegahertz) {
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

TEST_F(TextExportTest, NoTicksAtAllGivesZeroRates) {
    f.Fill([](StoreState& s) { s.sumTicks = 0; });
    EXPECT_EQ(FormatExportLine(f.data, 0x3e9, 208), "A;0x3e9;3;250;40;7;3;0.08;6.25;0.00;0.00\n");
    EXPECT_EQ(FormatExportLine(f.data, 0x999, 208), "");
}

} // namespace
} // namespace zuta::test
