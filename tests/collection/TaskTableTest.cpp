#include "collection/TaskTable.h"

#include "engine/PerformanceData.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace zuta {
namespace {

using ::testing::ElementsAre;

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
    // The cells of `row`, joined by '|'.
    std::string Row(std::size_t row) const {
        std::string text;
        for (std::size_t c = 0; c < table.columns().size(); ++c)
            text += (c == 0 ? "" : "|") + table.Cell(row, c);
        return text;
    }
    std::string Names() const {
        std::string text;
        for (std::size_t r = 0; r < table.rowCount(); ++r)
            text += (r == 0 ? "" : "|") + table.Cell(r, 0);
        return text;
    }

    CPerformanceData data;
    TaskTable table;
    StatisticsOptions options{false, false, 208.7f};
};

TEST_F(TaskTableTest, FiguresByViewClockAndCounterScheme) {
    struct Case {
        std::uint32_t cpuType;
        StatisticsOptions options;
        std::size_t row;
        const char* cells;
        bool simple = false;
    };
    const Case cases[] = {
        // 3 / 40 in double precision; clock 208.
        {1, {false, false, 208.7f}, 2, "beta|0x3ea|3|5000|40|7|3|0.07|125.00|0.42|52.00"},
        // Zero counters leave their cells as they were; the rates need runs.
        {1, {false, false, 208.7f}, 1, "Alpha|0x3e9|1|0|0|0|0|0.00|0.00|0.00|0.00"},
        {1,
         {true, false, 208.7f},
         2,
         "beta|0x3ea|3|25.00 %|5.00 %|10.00 %|10.00 %|0.07|125.00|0.42|52.00"},
        // Without a clock the last column is the share of all ticks; 40 / 20000 is 0.00 MIPS.
        {1, {false, false, 0.0f}, 2, "beta|0x3ea|3|5000|40|7|3|0.07|125.00|0.00|0.25"},
        {1, {false, true, 0.0f}, 2, "beta|0x3ea|3|5000|40|7|3|0.07|125.00|20.00|2500.00"},
        // XScale event 3 is the miss rate; its counters stay in simple mode.
        {0, {false, false, 208.7f}, 2, "beta|0x3ea|3|5000|40|7|3|0.07"},
        {0, {false, false, 208.7f}, 2, "beta|0x3ea|3|5000|40|7|3|0.07", true},
        // Simple mode, or a core without counters: the run count and the active time.
        {1, {false, false, 208.7f}, 2, "beta|0x3ea|3|5000", true},
        {2, {false, false, 208.7f}, 2, "beta|0x3ea|3|5000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.cpuType) + (c.simple ? " simple " : " ") + c.cells);
        table.BuildColumns(c.cpuType, c.simple);
        table.RebuildRows(data);
        table.RefreshStatistics(data, c.options);
        EXPECT_EQ(Row(c.row), c.cells);
    }
}

TEST_F(TaskTableTest, RowsListTasksInStoreOrderAndKeepTheirCellsUntilRebuilt) {
    EXPECT_EQ(table.RebuildRows(data).Text(), "2 / 1 / 1");
    EXPECT_EQ(Names(), "IRQ7|Alpha|beta|Timer_HISR");
    EXPECT_EQ(Row(1), "Alpha|0x3e9|0|0|0|0|0|0|0|0|");
    EXPECT_THAT(table.IdTexts(), ElementsAre("0x7", "0x3e9", "0x3ea", "0x3eb"));
    // Cells stay when the columns change or the task is gone.
    table.RefreshStatistics(data, options);
    table.BuildColumns(1, true);
    EXPECT_EQ(Row(2), "beta|0x3ea|3|5000");
    table.BuildColumns(1, false);
    EXPECT_EQ(table.Cell(2, 4), "");

    table.RebuildRows(data);
    data.ClearTasks();
    table.RefreshStatistics(data, options);
    EXPECT_EQ(Row(2), "beta|0x3ea|0|0|0|0|0|0|0|0|");
}

TEST_F(TaskTableTest, SortingByEachKeyAndNotByCountersInPercentView) {
    struct Step {
        bool percent;
        std::size_t column;
        const char* names;
    };
    const Step steps[] = {
        {false, 0, "Alpha|beta|IRQ7|Timer_HISR"},
        {false, 2, "Timer_HISR|beta|IRQ7|Alpha"},
        {false, 1, "Timer_HISR|beta|Alpha|IRQ7"},
        {false, 5, "IRQ7|beta|Timer_HISR|Alpha"},
        // Columns 7 to 10 hold no key: the order stays.
        {false, 7, "IRQ7|beta|Timer_HISR|Alpha"},
        {false, 10, "IRQ7|beta|Timer_HISR|Alpha"},
        {true, 4, "IRQ7|Alpha|beta|Timer_HISR"},
        {true, 3, "Timer_HISR|beta|IRQ7|Alpha"},
    };
    for (const Step& step : steps) {
        if (step.percent != options.percentView || table.rowCount() == 0) {
            options.percentView = step.percent;
            table.RebuildRows(data);
            table.RefreshStatistics(data, options);
        }
        table.Sort(step.column);
        EXPECT_EQ(Names(), step.names) << step.column << (step.percent ? " in percent" : "");
    }
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
    std::string colours;
    for (std::size_t r = 0; r < table.rowCount(); ++r) {
        const auto c = table.TextColour(r, data, "CommPM_L");
        colours += (c ? c->Hex() : "-") + " ";
    }
    EXPECT_EQ(colours, "#0af032 - - #005ab4 #ff0000 #ff0000 ");
    EXPECT_FALSE(TaskTable::BackgroundColour(0).has_value());
    EXPECT_EQ(TaskTable::BackgroundColour(1)->Hex(), "#dcdcfe");
    EXPECT_FALSE(TaskTable::BackgroundColour(2).has_value());
}

} // namespace
} // namespace zuta
