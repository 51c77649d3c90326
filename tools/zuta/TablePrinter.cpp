#include "TablePrinter.h"

#include "Session.h"

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

namespace zuta::cli {

TaskTable BuildTaskTable(Session& session, bool percent, TaskTypeCounts& counts) {
    const PerformanceSettings& settings = session.settings();
    TaskTable table;
    table.BuildColumns(settings.cpuType, settings.simpleMode);
    counts = table.RebuildRows(session.data());
    table.RefreshStatistics(session.data(),
                            StatisticsOptions{percent || settings.percentView,
                                              settings.externalTsMode, settings.armClockMhz});
    return table;
}

void PrintTaskTable(const TaskTable& table) {
    const auto& columns = table.columns();
    std::vector<std::size_t> widths;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        std::size_t width = columns[c].title.size();
        for (std::size_t r = 0; r < table.rowCount(); ++r)
            width = std::max(width, table.Cell(r, c).size());
        widths.push_back(width);
    }
    const auto printRow = [&](auto&& cell) {
        std::string line;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const std::string& text = cell(c);
            const std::string pad(widths[c] - text.size(), ' ');
            if (c > 0)
                line += "  ";
            // Names and identifiers read from the left, figures from the right.
            line += c < 2 ? text + pad : pad + text;
        }
        line.erase(line.find_last_not_of(' ') + 1);
        std::cout << line << '\n';
    };
    printRow([&](std::size_t c) -> const std::string& { return columns[c].title; });
    for (std::size_t r = 0; r < table.rowCount(); ++r)
        printRow([&](std::size_t c) -> const std::string& { return table.Cell(r, c); });
}

void PrintCollectionTable(Session& session) {
    TaskTypeCounts counts;
    PrintTaskTable(BuildTaskTable(session, false, counts));
    std::cout << "No. of Task/HISR/IRQ: " << counts.Text() << "   CPU load "
              << session.data().GetCpuLoad() << " %   sampling duration "
              << session.data().GetSamplingDuration() << " s\n";
}

// What stream damage the store saw, when it saw any: the figures are then unreliable.
void ReportDamage(Session& session) {
    const auto [skipped, unknown] = session.data().Read(
        [](const StoreState& s) { return std::pair(s.skippedBytes, s.unknownRecords); });
    if (skipped == 0 && unknown == 0)
        return;
    std::cerr << "zuta: the stream was damaged: " << skipped
              << " bytes skipped while resynchronising, " << unknown
              << " unknown record headers; the figures are unreliable\n";
}

} // namespace zuta::cli
