#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zuta {

class CPerformanceData;
struct TaskRecord;

struct TaskTableColumn {
    std::string title;
    int width = 0; // pixels
};

// A colour as red, green and blue.
struct RgbColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    // "#rrggbb"
    std::string Hex() const;
    bool operator==(const RgbColour&) const = default;
};

inline constexpr RgbColour kOddRowBackground{220, 220, 254};
inline constexpr RgbColour kHisrTextColour{0x00, 0x5A, 0xB4};
inline constexpr RgbColour kIrqTextColour{0x0A, 0xF0, 0x32};
inline constexpr RgbColour kIdleTextColour{0xFF, 0x00, 0x00};

// The figures a row was last given, kept with the row so that sorting can reach them.
struct TaskRow {
    std::string name;
    std::uint32_t id = 0;
    std::uint32_t runs = 0;
    std::uint64_t ticks = 0;
    std::uint64_t sum0 = 0;
    std::uint64_t sum1 = 0;
    std::uint64_t sum2 = 0;
    std::uint64_t spare = 0;
};

// Rows by task type, as the control bar's "No. of Task/HISR/IRQ:" shows them.
struct TaskTypeCounts {
    std::uint32_t tasks = 0;
    std::uint32_t hisrs = 0;
    std::uint32_t irqs = 0;

    // "%u / %u / %u"
    std::string Text() const;
};

// What the figures of RefreshStatistics depend on besides the store.
struct StatisticsOptions {
    bool percentView = false;
    bool externalTsMode = false;
    float armClockMhz = 200.0f;
};

struct PercentText {
    std::string text; // "5.07 %"
    float value = 0;  // 5.07
};

// A task's figures as numbers: its share of all ticks as the percent view's "Active Time" shows
// it, and the rates of the columns "I-cache miss Rate", "CPI", "MIPS" and "MHz" (0 where those
// show 0.00).
struct TaskFigures {
    double share = 0.0;
    double missRate = 0.0;
    double cpi = 0.0;
    double mips = 0.0;
    double mhz = 0.0;
};

// A share of a total with two decimals: the whole percent, and the hundredths only when the
// total is at least 10000. "0.00 %" for a total of 0.
PercentText FormatPercent(std::uint64_t total, std::uint64_t value);

// The live task table as plain data: columns, one row of cell texts per task, HISR and IRQ of the
// store, the figures, the sort order and the colours. A list widget, the text export and the
// command line display or read it. Not thread-safe: its owner serialises rebuilds and refreshes.
class TaskTable {
public:
    // The columns of a counter scheme: eleven for ARM APDC (cpuType 1) without simple mode, eight
    // for XScale PMU (cpuType 0), else the first four.
    static std::vector<TaskTableColumn> ColumnsFor(std::uint32_t cpuType, bool simpleMode);

    // Replaces the columns; cells of columns that no longer exist are dropped, new ones are empty.
    void BuildColumns(std::uint32_t cpuType, bool simpleMode);
    const std::vector<TaskTableColumn>& columns() const { return columns_; }

    // Rows for the store's tasks, HISRs and IRQs in ascending identifier order: name, "0x%x" of
    // the identifier, "0" in columns 2 to 9. Functions get no row.
    TaskTypeCounts RebuildRows(const CPerformanceData& data);

    // Writes the figures of every row whose identifier the store knows.
    void RefreshStatistics(const CPerformanceData& data, const StatisticsOptions& options);

    // The figures of `task` against the store's run-wide sums, as RefreshStatistics writes them.
    static TaskFigures Figures(const CPerformanceData& data, const TaskRecord& task,
                               const StatisticsOptions& options);

    // Orders the rows by a column: 0 by name (case-insensitive, ascending), 1 to 7 by the row's
    // figure (descending); other columns keep the order. Equal rows keep their order.
    void Sort(std::size_t column);
    // The sort comparison: whether `a` goes before `b` (a strict weak ordering for every column).
    static bool SortsBefore(const TaskRow& a, const TaskRow& b, std::size_t column);

    std::size_t rowCount() const { return rows_.size(); }
    const TaskRow& row(std::size_t index) const { return rows_[index].data; }
    // Empty for a column that does not exist.
    const std::string& Cell(std::size_t row, std::size_t column) const;
    // The "Task ID" texts of all rows, in table order.
    std::vector<std::string> IdTexts() const;

    // Text colour of a row: red for the idle task, else by type for HISRs and IRQs; nothing
    // means the list's own colour.
    std::optional<RgbColour> TextColour(std::size_t row, const CPerformanceData& data,
                                        const std::string& idleTaskName) const;
    // Odd rows are shaded.
    static std::optional<RgbColour> BackgroundColour(std::size_t row);

private:
    struct Row {
        TaskRow data;
        std::vector<std::string> cells;
    };

    void SetCell(Row& row, std::size_t column, std::string text) const;

    std::vector<TaskTableColumn> columns_;
    std::vector<Row> rows_;
};

} // namespace zuta
