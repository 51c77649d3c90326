#include "collection/TaskTable.h"

#include "engine/PerformanceData.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace zuta {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> Titles(const std::vector<TaskTableColumn>& columns) {
    std::vector<std::string> titles;
    for (const auto& c : columns)
        titles.push_back(c.title + " " + std::to_string(c.width));
    return titles;
}

TEST(TaskTableColumnsTest, CounterSchemesAndSimpleMode) {
    EXPECT_THAT(Titles(TaskTable::ColumnsFor(1, false)),
                ElementsAre("Task Name 90", "Task ID 90", "Scheduled 70", "Active Time 70",
                            "Instruction Executed 110", "Access Duration 90", "Access Count 90",
                            "I-cache miss Rate 110", "CPI 90", "MIPS 90", "MHz 90"));
    const auto xscale = ElementsAre("Task Name 90", "Task ID 90", "Scheduled 70", "Active Time 70",
                                    "Event 0 85", "Event 1 85", "Event 2 90", "Event 3 90");
    EXPECT_THAT(Titles(TaskTable::ColumnsFor(0, false)), xscale);
    EXPECT_THAT(Titles(TaskTable::ColumnsFor(0, true)), xscale);
    const auto basic = ElementsAre("Task Name 90", "Task ID 90", "Scheduled 70", "Active Time 70");
    EXPECT_THAT(Titles(TaskTable::ColumnsFor(1, true)), basic);
    EXPECT_THAT(Titles(TaskTable::ColumnsFor(2, false)), basic);
}

TEST(FormatPercentTest, WholeAndHundredths) {
    struct Case {
        std::uint64_t total;
        std::uint64_t value;
        const char* text;
        float number;
    };
    for (const Case c :
         {Case{10000, 507, "5.07 %", 5.07f}, Case{9999, 507, "5.00 %", 5.0f},
          Case{0, 5, "0.00 %", 0.0f}, Case{10000, 5, "0.05 %", 0.05f},
          Case{30000, 10001, "33.33 %", 33.33f}, Case{20000, 20000, "100.00 %", 100.0f}}) {
        const PercentText p = FormatPercent(c.total, c.value);
        EXPECT_EQ(p.text, c.text) << c.total << " " << c.value;
        EXPECT_FLOAT_EQ(p.value, c.number);
    }
}

TEST(RgbColourTest, HexText) {
    EXPECT_EQ(kOddRowBackground.Hex(), "#dcdcfe");
    EXPECT_EQ(kHisrTextColour.Hex(), "#005ab4");
    EXPECT_EQ(kIrqTextColour.Hex(), "#0af032");
    EXPECT_EQ(kIdleTextColour.Hex(), "#ff0000");
}

class TaskTableTest : public ::testing::Test {
protected:
    TaskTableTest() {
        data.Write([](StoreState& s) {
            s.switchCount = 10;
            s.sumTicks = 20000;
            s.sumValue0 = 800;
            s.sumValue1 = 70;
            s.sumValue2 = 30;
            Set(s.AddOrUpdateTask("beta", 1002, 0), 3, 5000, 40, 7, 3);
            Set(s.AddOrUpdateTask("Alpha", 1001, 0), 1, 0, 0, 0, 0);
            Set(s.AddOrUpdateTask("Timer_HISR", 1003, 1), 6, 9000, 500, 0, 20);
            Set(s.AddOrUpdateTask("IRQ7", 7, 2), 2, 1000, 10, 60, 0);
            s.AddOrUpdateTask("Fn1", 5001, 3);
            s.AddOrUpdateTask("Fn2", 5002, 4);
            s.AddOrUpdateTask("Fn3", 5003, 3);
        });
        table.BuildColumns(1, false);
    }
    static void Set(TaskRecord& t, std::uint64_t runs, std::uint64_t ticks, std::uint64_t s0,
                    std::uint64_t s1, std::uint64_t s2) {
        t.runs = runs;
        t.ticks = ticks;
        t.sumValue0 = s0;
        t.sumValue1 = s1;
        t.sumValue2 = s2;
    }
    std::vector<std::string> RowCells(std::size_t row) const {
        std::vector<std::string> cells;
        for (std::size_t c = 0; c < table.columns().size(); ++c)
            cells.push_back(table.Cell(row, c));
        return cells;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (std::size_t r = 0; r < table.rowCount(); ++r)
            names.push_back(table.Cell(r, 0));
        return names;
    }

    CPerformanceData data;
    TaskTable table;
    StatisticsOptions options{false, false, 208.7f};
};

TEST_F(TaskTableTest, RowsListTasksHisrsAndIrqsInStoreOrder) {
    const TaskTypeCounts counts = table.RebuildRows(data);
    EXPECT_EQ(counts.Text(), "2 / 1 / 1");
    EXPECT_THAT(Names(), ElementsAre("IRQ7", "Alpha", "beta", "Timer_HISR"));
    EXPECT_THAT(RowCells(1),
                ElementsAre("Alpha", "0x3e9", "0", "0", "0", "0", "0", "0", "0", "0", ""));
    EXPECT_EQ(table.row(1).name, "Alpha");
    EXPECT_EQ(table.row(1).id, 1001u);
    EXPECT_THAT(table.IdTexts(), ElementsAre("0x7", "0x3e9", "0x3ea", "0x3eb"));
}

TEST_F(TaskTableTest, AbsoluteFigures) {
    table.RebuildRows(data);
    table.RefreshStatistics(data, options);
    EXPECT_THAT(RowCells(2), ElementsAre("beta", "0x3ea", "3", "5000", "40", "7", "3",
                                         // 3 / 40 in double precision; clock 208.
                                         "0.07", "125.00", "0.42", "52.00"));
    // Zero counters leave their cells as they were; the rates need runs.
    EXPECT_THAT(RowCells(1), ElementsAre("Alpha", "0x3e9", "1", "0", "0", "0", "0", "0.00", "0.00",
                                         "0.00", "0.00"));
    EXPECT_EQ(table.row(2).runs, 3u);
    EXPECT_EQ(table.row(2).ticks, 5000u);
    EXPECT_EQ(table.row(2).sum0, 40u);
    EXPECT_EQ(table.row(2).sum1, 7u);
    EXPECT_EQ(table.row(2).sum2, 3u);
}

TEST_F(TaskTableTest, PercentFigures) {
    table.RebuildRows(data);
    options.percentView = true;
    table.RefreshStatistics(data, options);
    EXPECT_THAT(RowCells(2), ElementsAre("beta", "0x3ea", "3", "25.00 %", "5.00 %", "10.00 %",
                                         "10.00 %", "0.07", "125.00", "0.42", "52.00"));
    // Percent view keeps only runs and ticks with the row.
    EXPECT_EQ(table.row(2).runs, 3u);
    EXPECT_EQ(table.row(2).ticks, 5000u);
    EXPECT_EQ(table.row(2).sum0, 0u);
}

TEST_F(TaskTableTest, ClockRules) {
    table.RebuildRows(data);
    options.armClockMhz = 0.0f; // column 10 becomes the share of all ticks
    table.RefreshStatistics(data, options);
    EXPECT_EQ(table.Cell(2, 10), "0.25");
    EXPECT_EQ(table.Cell(2, 9), "0.00"); // 40 / 20000 rounds to 0.00
    options.externalTsMode = true;
    table.RefreshStatistics(data, options);
    EXPECT_EQ(table.Cell(2, 10), "2500.00");
    EXPECT_EQ(table.Cell(2, 9), "20.00");
}

TEST_F(TaskTableTest, XScaleEventThreeShowsTheMissRate) {
    table.BuildColumns(0, false);
    table.RebuildRows(data);
    table.RefreshStatistics(data, options);
    EXPECT_THAT(RowCells(2), ElementsAre("beta", "0x3ea", "3", "5000", "40", "7", "3", "0.07"));
    EXPECT_EQ(table.Cell(2, 8), "");
}

TEST_F(TaskTableTest, RowsWhoseTaskIsGoneKeepTheirCells) {
    table.RebuildRows(data);
    data.ClearTasks();
    table.RefreshStatistics(data, options);
    EXPECT_THAT(RowCells(2),
                ElementsAre("beta", "0x3ea", "0", "0", "0", "0", "0", "0", "0", "0", ""));
}

TEST_F(TaskTableTest, RebuildingColumnsKeepsTheRows) {
    table.RebuildRows(data);
    table.RefreshStatistics(data, options);
    table.BuildColumns(1, true);
    EXPECT_THAT(RowCells(2), ElementsAre("beta", "0x3ea", "3", "5000"));
    table.BuildColumns(1, false);
    EXPECT_EQ(table.Cell(2, 4), "");
}

TEST_F(TaskTableTest, Sorting) {
    table.RebuildRows(data);
    table.RefreshStatistics(data, options);
    table.Sort(0);
    EXPECT_THAT(Names(), ElementsAre("Alpha", "beta", "IRQ7", "Timer_HISR"));
    table.Sort(2);
    EXPECT_THAT(Names(), ElementsAre("Timer_HISR", "beta", "IRQ7", "Alpha"));
    table.Sort(1);
    EXPECT_THAT(Names(), ElementsAre("Timer_HISR", "beta", "Alpha", "IRQ7"));
    table.Sort(5);
    EXPECT_THAT(Names(), ElementsAre("IRQ7", "beta", "Timer_HISR", "Alpha"));
    // Columns 7 to 10 hold no key: the order stays.
    for (std::size_t column : {7, 8, 9, 10}) {
        table.Sort(column);
        EXPECT_THAT(Names(), ElementsAre("IRQ7", "beta", "Timer_HISR", "Alpha"));
    }
}

TEST_F(TaskTableTest, PercentViewDoesNotSortByCounters) {
    table.RebuildRows(data);
    options.percentView = true;
    table.RefreshStatistics(data, options);
    table.Sort(4);
    EXPECT_THAT(Names(), ElementsAre("IRQ7", "Alpha", "beta", "Timer_HISR"));
    table.Sort(3);
    EXPECT_THAT(Names(), ElementsAre("Timer_HISR", "beta", "IRQ7", "Alpha"));
}

TEST(TaskTableOrderTest, ComparisonIsAStrictWeakOrdering) {
    const std::vector<TaskRow> rows = {{"b", 2, 5, 1, 0, 0, 0, 0},
                                       {"B", 1, 5, 2, 0, 0, 0, 0},
                                       {"a", 3, 1, 2, 0, 0, 0, 0},
                                       {"", 3, 9, 0, 0, 0, 0, 0}};
    for (std::size_t column = 0; column <= 12; ++column) {
        for (const TaskRow& a : rows) {
            EXPECT_FALSE(TaskTable::SortsBefore(a, a, column)) << column;
            for (const TaskRow& b : rows) {
                if (!TaskTable::SortsBefore(a, b, column))
                    continue;
                EXPECT_FALSE(TaskTable::SortsBefore(b, a, column)) << column;
                for (const TaskRow& c : rows) {
                    if (TaskTable::SortsBefore(b, c, column)) {
                        EXPECT_TRUE(TaskTable::SortsBefore(a, c, column)) << column;
                    }
                }
            }
        }
    }
}

TEST_F(TaskTableTest, Colours) {
    data.Write([](StoreState& s) {
        s.AddOrUpdateTask("CommPM_L", 1010, 1);
        s.AddOrUpdateTask("idleTask_THREAD", 1011, 0);
    });
    table.RebuildRows(data);
    // IRQ7, Alpha, beta, Timer_HISR, CommPM_L (a HISR, but idle), idleTask_THREAD
    std::vector<std::string> colours;
    for (std::size_t r = 0; r < table.rowCount(); ++r) {
        const auto c = table.TextColour(r, data, "CommPM_L");
        colours.push_back(c ? c->Hex() : "-");
    }
    EXPECT_THAT(colours, ElementsAre("#0af032", "-", "-", "#005ab4", "#ff0000", "#ff0000"));
    EXPECT_FALSE(TaskTable::BackgroundColour(0).has_value());
    EXPECT_EQ(TaskTable::BackgroundColour(1), kOddRowBackground);
    EXPECT_FALSE(TaskTable::BackgroundColour(2).has_value());
}

} // namespace
} // namespace zuta
