#include "collection/TaskTable.h"

#include "engine/PerformanceData.h"
#include "settings/PerformanceSettings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace zuta {

namespace {

constexpr std::size_t kColumnScheduled = 2;
constexpr std::size_t kColumnActiveTime = 3;
constexpr std::size_t kColumnFirstCounter = 4;
constexpr std::size_t kColumnMissRate = 7;
constexpr std::size_t kColumnCpi = 8;
constexpr std::size_t kColumnMips = 9;
constexpr std::size_t kColumnMhz = 10;

const std::string kEmpty;

template <class T> std::string Decimal(T value) {
    char text[24];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string Hex(std::uint32_t value) {
    char text[16] = {'0', 'x'};
    return std::string(text, std::to_chars(text + 2, text + sizeof text, value, 16).ptr);
}

// "%.2f"
std::string Fixed2(double value) {
    char text[400];
    const auto [p, ec] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
    return ec == std::errc{} ? std::string(text, p) : std::string();
}

std::int64_t Signed(std::uint64_t value) {
    return static_cast<std::int64_t>(value);
}

double Quotient(std::int64_t numerator, std::int64_t denominator) {
    return static_cast<double>(numerator) / static_cast<double>(denominator);
}

// clock × counter as a 64-bit product that wraps instead of overflowing.
std::int64_t Product(std::int64_t clockMhz, std::uint64_t counter) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(clockMhz) * counter);
}

unsigned char Lower(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

bool NameLess(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Lower(x) < Lower(y); });
}

} // namespace

std::string RgbColour::Hex() const {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text = "#";
    for (const std::uint8_t part : {red, green, blue}) {
        text += kDigits[part >> 4];
        text += kDigits[part & 15];
    }
    return text;
}

std::string TaskTypeCounts::Text() const {
    return Decimal(tasks) + " / " + Decimal(hisrs) + " / " + Decimal(irqs);
}

PercentText FormatPercent(std::uint64_t total, std::uint64_t value) {
    const std::uint64_t whole = total != 0 ? value * 100 / total : 0;
    const std::uint64_t hundredths = total >= 10000 ? value * 10000 / total - whole * 100 : 0;
    PercentText result;
    result.text = Decimal(whole) + ".";
    if (hundredths < 10)
        result.text += '0';
    result.text += Decimal(hundredths) + " %";
    result.value =
        static_cast<float>(static_cast<double>(whole) + static_cast<double>(hundredths) * 0.01);
    return result;
}

std::vector<TaskTableColumn> TaskTable::ColumnsFor(std::uint32_t cpuType, bool simpleMode) {
    std::vector<TaskTableColumn> columns = {
        {"Task Name", 90}, {"Task ID", 90}, {"Scheduled", 70}, {"Active Time", 70}};
    if (cpuType == 0) {
        columns.insert(columns.end(),
                       {{"Event 0", 85}, {"Event 1", 85}, {"Event 2", 90}, {"Event 3", 90}});
    } else if (cpuType == 1 && !simpleMode) {
        columns.insert(columns.end(), {{"Instruction Executed", 110},
                                       {"Access Duration", 90},
                                       {"Access Count", 90},
                                       {"I-cache miss Rate", 110},
                                       {"CPI", 90},
                                       {"MIPS", 90},
                                       {"MHz", 90}});
    }
    return columns;
}

void TaskTable::BuildColumns(std::uint32_t cpuType, bool simpleMode) {
    columns_ = ColumnsFor(cpuType, simpleMode);
    for (Row& row : rows_)
        row.cells.resize(columns_.size());
}

void TaskTable::SetCell(Row& row, std::size_t column, std::string text) const {
    if (column < row.cells.size())
        row.cells[column] = std::move(text);
}

TaskTypeCounts TaskTable::RebuildRows(const CPerformanceData& data) {
    rows_.clear();
    TaskTypeCounts counts;
    data.Read([&](const StoreState& s) {
        for (const auto& [id, task] : s.tasks) {
            if (task.type == kTypeFunctionEnter || task.type == kTypeFunctionExit)
                continue;
            Row row;
            row.cells.resize(columns_.size());
            SetCell(row, 0, task.name);
            SetCell(row, 1, Hex(task.id));
            for (std::size_t column = 2; column <= kColumnMips; ++column)
                SetCell(row, column, "0");
            row.data.name = task.name;
            row.data.id = task.id;
            rows_.push_back(std::move(row));
            if (task.type == kTypeTask)
                ++counts.tasks;
            else if (task.type == kTypeHisr)
                ++counts.hisrs;
            else if (task.type == kTypeIrq)
                ++counts.irqs;
        }
    });
    return counts;
}

namespace {

struct Totals {
    std::uint32_t switchCount;
    std::uint64_t sumTicks;
    std::uint64_t sums[3];
};

Totals ReadTotals(const CPerformanceData& data) {
    return data.Read([](const StoreState& s) {
        return Totals{s.switchCount, s.sumTicks, {s.sumValue0, s.sumValue1, s.sumValue2}};
    });
}

TaskFigures FiguresOf(const TaskRecord& task, const Totals& totals, std::int64_t clockMhz) {
    const bool ran = task.runs != 0;
    const std::int64_t s0 = Signed(task.sumValue0);
    const std::int64_t ticks = Signed(task.ticks);
    const std::int64_t all = Signed(totals.sumTicks);
    TaskFigures figures;
    figures.share = FormatPercent(totals.sumTicks, task.ticks).value;
    figures.missRate = ran && s0 != 0 ? Quotient(Signed(task.sumValue2), s0) : 0.0;
    figures.cpi = ran && ticks != 0 && s0 != 0 ? Quotient(ticks, s0) : 0.0;
    figures.mips = ran && all != 0 ? Quotient(Product(clockMhz, task.sumValue0), all) : 0.0;
    figures.mhz = ran && all != 0 ? Quotient(Product(clockMhz, task.ticks), all) : 0.0;
    return figures;
}

} // namespace

TaskFigures TaskTable::Figures(const CPerformanceData& data, const TaskRecord& task,
                               const StatisticsOptions& options) {
    return FiguresOf(
        task, ReadTotals(data),
        PerformanceSettings::WholeClockMhz(options.externalTsMode, options.armClockMhz));
}

void TaskTable::RefreshStatistics(const CPerformanceData& data, const StatisticsOptions& options) {
    const Totals totals = ReadTotals(data);
    const std::int64_t clockMhz =
        PerformanceSettings::WholeClockMhz(options.externalTsMode, options.armClockMhz);

    for (Row& row : rows_) {
        TaskRecord task;
        if (row.cells.size() < 2 || !data.GetTaskByIdText(row.cells[1], task))
            continue;
        const std::uint64_t sums[3] = {task.sumValue0, task.sumValue1, task.sumValue2};
        if (options.percentView) {
            if (task.runs != 0 && totals.switchCount != 0) {
                row.data.runs = static_cast<std::uint32_t>(task.runs);
                SetCell(row, kColumnScheduled, Decimal(row.data.runs));
            }
            if (task.ticks != 0) {
                row.data.ticks = task.ticks;
                SetCell(row, kColumnActiveTime, FormatPercent(totals.sumTicks, task.ticks).text);
            }
            for (std::size_t k = 0; k < 3; ++k)
                if (sums[k] != 0)
                    SetCell(row, kColumnFirstCounter + k,
                            FormatPercent(totals.sums[k], sums[k]).text);
        } else {
            if (task.runs != 0) {
                row.data.runs = static_cast<std::uint32_t>(task.runs);
                SetCell(row, kColumnScheduled, Decimal(row.data.runs));
            }
            if (task.ticks != 0) {
                row.data.ticks = task.ticks;
                SetCell(row, kColumnActiveTime, Decimal(Signed(task.ticks)));
            }
            std::uint64_t* kept[3] = {&row.data.sum0, &row.data.sum1, &row.data.sum2};
            for (std::size_t k = 0; k < 3; ++k) {
                if (sums[k] != 0) {
                    *kept[k] = sums[k];
                    SetCell(row, kColumnFirstCounter + k, Decimal(Signed(sums[k])));
                }
            }
        }

        const TaskFigures figures = FiguresOf(task, totals, clockMhz);
        SetCell(row, kColumnMissRate, Fixed2(figures.missRate));
        SetCell(row, kColumnCpi, Fixed2(figures.cpi));
        SetCell(row, kColumnMips, Fixed2(figures.mips));
        SetCell(row, kColumnMhz, Fixed2(figures.mhz));
    }
}

bool TaskTable::SortsBefore(const TaskRow& a, const TaskRow& b, std::size_t column) {
    switch (column) {
    case 0:
        return NameLess(a.name, b.name);
    case 1:
        return a.id > b.id;
    case 2:
        return a.runs > b.runs;
    case 3:
        return a.ticks > b.ticks;
    case 4:
        return a.sum0 > b.sum0;
    case 5:
        return a.sum1 > b.sum1;
    case 6:
        return a.sum2 > b.sum2;
    case 7:
        return a.spare > b.spare;
    default:
        return false;
    }
}

void TaskTable::Sort(std::size_t column) {
    std::stable_sort(rows_.begin(), rows_.end(), [column](const Row& a, const Row& b) {
        return SortsBefore(a.data, b.data, column);
    });
}

const std::string& TaskTable::Cell(std::size_t row, std::size_t column) const {
    if (row >= rows_.size() || column >= rows_[row].cells.size())
        return kEmpty;
    return rows_[row].cells[column];
}

std::vector<std::string> TaskTable::IdTexts() const {
    std::vector<std::string> texts;
    texts.reserve(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i)
        texts.push_back(Cell(i, 1));
    return texts;
}

std::optional<RgbColour> TaskTable::TextColour(std::size_t row, const CPerformanceData& data,
                                               const std::string& idleTaskName) const {
    if (row >= rows_.size())
        return std::nullopt;
    const TaskRow& r = rows_[row].data;
    if (r.name == "idleTask_THREAD" || r.name == idleTaskName)
        return kIdleTextColour;
    TaskRecord task;
    if (!data.GetTaskByIdText(Cell(row, 1), task))
        return std::nullopt;
    if (task.type == kTypeHisr)
        return kHisrTextColour;
    if (task.type == kTypeIrq)
        return kIrqTextColour;
    return std::nullopt;
}

std::optional<RgbColour> TaskTable::BackgroundColour(std::size_t row) {
    if (row % 2 == 1)
        return kOddRowBackground;
    return std::nullopt;
}

} // namespace zuta
