#include "Commands.h"
#include "Session.h"
#include "TablePrinter.h"
#include "collection/TaskTable.h"
#include "engine/PerformanceData.h"
#include "files/TextExport.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace zuta::cli {

namespace {

struct TableOptions {
    std::string input;
    std::string output;
    std::string sort;
    bool percent = false;
    bool json = false;
    StoreOptions store;
};

void LoadSession(Session& session, const std::string& path) {
    std::string error;
    if (!session.collection().LoadSession(
            path, error, ConsoleProgress("loading", path, session.options().quiet)))
        Fail(error, kExitBadInput);
}

void Save(Session& session, const std::string& path) {
    std::string error;
    if (!session.collection().Save(path, error))
        Fail(error, kExitCannotWrite);
}

// Column index from a number or a title (case-insensitive) of the table's columns.
std::size_t SortColumn(const TaskTable& table, const std::string& text) {
    const auto& columns = table.columns();
    std::size_t index = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), index);
    if (ec == std::errc{} && end == text.data() + text.size() && index < columns.size())
        return index;
    const auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) {
            return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        });
        return s;
    };
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (lower(columns[i].title) == lower(text))
            return i;
    std::string titles;
    for (const auto& column : columns)
        titles += (titles.empty() ? "" : ", ") + column.title;
    Fail("no column '" + text + "' to sort by (columns: " + titles + ")", kExitUsage);
}

// The table as the window shows it after a load, in the order asked for.
TaskTable BuildTable(Session& session, const TableOptions& options, TaskTypeCounts& counts) {
    TaskTable table = BuildTaskTable(session, options.percent, counts);
    if (table.rowCount() == 0)
        Fail("'" + options.input + "' holds no tasks, HISRs or IRQs", kExitBadInput);
    if (!options.sort.empty())
        table.Sort(SortColumn(table, options.sort));
    return table;
}

void PrintText(const TaskTable& table, const TaskTypeCounts& counts) {
    PrintTaskTable(table);
    std::cout << "No. of Task/HISR/IRQ: " << counts.Text() << '\n';
}

void PrintJson(const TaskTable& table, Session& session) {
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (std::size_t r = 0; r < table.rowCount(); ++r) {
        nlohmann::ordered_json row;
        for (std::size_t c = 0; c < table.columns().size(); ++c)
            row[table.columns()[c].title] = table.Cell(r, c);
        const std::optional<RgbColour> colour =
            table.TextColour(r, session.data(), session.settings().idleTaskName);
        row["color"] = colour.value_or(RgbColour{}).Hex();
        rows.push_back(std::move(row));
    }
    std::cout << rows.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

void LoadInput(Session& session, const std::string& path) {
    std::string error;
    if (!session.LoadInput(path, error))
        Fail(error, kExitBadInput);
    ReportDamage(session);
}

void RunTable(const TableOptions& options) {
    Session session(options.store);
    LoadInput(session, options.input);
    TaskTypeCounts counts;
    const TaskTable table = BuildTable(session, options, counts);
    if (options.json)
        PrintJson(table, session);
    else
        PrintText(table, counts);
}

void RunExport(const TableOptions& options) {
    Session session(options.store);
    LoadInput(session, options.input);
    TaskTypeCounts counts;
    const TaskTable table = BuildTable(session, options, counts);
    if (IsStandardOutput(options.output)) {
        std::cout << kTextExportHeader;
        const std::int64_t clock = ExportClockMhz(session.settings());
        for (const std::string& id : table.IdTexts()) {
            TaskRecord task;
            if (session.data().GetTaskByIdText(id, task))
                std::cout << FormatExportLine(session.data(), task.id, clock);
        }
        return;
    }
    std::string error;
    if (!session.collection().ExportText(table.IdTexts(), options.output, error))
        Fail(error, kExitCannotWrite);
}

// Whether two paths name the same file (both existing), or are the same text.
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return a == b || std::filesystem::equivalent(a, b, ec);
}

void RunImport(const TableOptions& options) {
    if (SameFile(options.input, options.output))
        Fail("'" + options.output + "' is the raw log being imported; choose another output",
             kExitUsage);
    Session session(options.store);
    std::string error;
    if (!session.collection().ImportLog(options.input, error))
        Fail(error, kExitBadInput);
    Save(session, options.output);
}

void RunConvert(const TableOptions& options) {
    Session session(options.store);
    // Loading reads the whole file before anything is written, so converting in place is safe.
    LoadSession(session, options.input);
    Save(session, options.output);
}

CLI::App* AddCommand(CLI::App& app, const std::string& name, const std::string& description,
                     const std::shared_ptr<TableOptions>& options, const std::string& inputHelp) {
    CLI::App* command = app.add_subcommand(name, description);
    command->add_option("FILE", options->input, inputHelp)->required();
    AddStoreOptions(*command, options->store);
    return command;
}

} // namespace

void RegisterFileCommands(CLI::App& app) {
    const std::string anyInput = "Session file (.zuta), raw log (.log) or capture (.zcap)";

    auto table = std::make_shared<TableOptions>();
    CLI::App* t =
        AddCommand(app, "table", "Print the task table as the window shows it", table, anyInput);
    t->add_flag("--percent", table->percent, "Shares of the whole run instead of absolute counts");
    t->add_option("--sort", table->sort, "Column to sort by: its number or its title");
    t->add_flag("--json", table->json,
                "An array of rows, column title to cell text, plus color; bytes of names that "
                "are not UTF-8 are written as U+FFFD");
    t->callback([table] { RunTable(*table); });

    auto exported = std::make_shared<TableOptions>();
    CLI::App* e =
        AddCommand(app, "export", "Write the task table as ';'-separated text", exported, anyInput);
    e->add_option("-o,--output", exported->output,
                  "Text file to write (.txt); - for standard output")
        ->required();
    e->add_option("--sort", exported->sort, "Column to order the rows by: its number or title");
    e->callback([exported] { RunExport(*exported); });

    auto imported = std::make_shared<TableOptions>();
    CLI::App* i =
        AddCommand(app, "import", "Turn a raw log into a session file", imported, "Raw log (.log)");
    i->add_option("-o,--output", imported->output, "Session file to write (.zuta)")->required();
    i->callback([imported] { RunImport(*imported); });

    auto converted = std::make_shared<TableOptions>();
    CLI::App* c =
        AddCommand(app, "convert", "Load a session file (version 2 or 3) and save it as version 3",
                   converted, "Session file (.zuta)");
    c->add_option("-o,--output", converted->output, "Session file to write (.zuta)")->required();
    c->callback([converted] { RunConvert(*converted); });
}

} // namespace zuta::cli
