#include "Commands.h"
#include "Session.h"
#include "SessionModel.h"
#include "graphs/Budget.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iostream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace zuta::cli {

namespace {

struct DiffOptions {
    std::string a;
    std::string b;
    std::string mask;
    double threshold = 5.0;
    bool json = false;
    StoreOptions store;
};

constexpr std::array<const char*, 5> kTaskFigures = {"runs", "share", "cpi", "mips",
                                                     "longestRunUs"};
constexpr std::array<const char*, 4> kLoadFigures = {"min", "median", "p95", "max"};

struct Side {
    std::string path;
    std::string mask;
    std::optional<graphs::LoadDistribution> loads; // none: the file cannot be cut into sessions
    std::string noSessions;                        // why
    std::vector<std::string> names;                // in table order
    std::map<std::string, std::array<double, kTaskFigures.size()>> tasks;
};

Side Load(const std::string& path, const DiffOptions& options) {
    Session session(options.store);
    SessionModel model = LoadSamples(session, path, kExitBadInput);
    Side side{path, {}, {}, {}, {}, {}};
    // Without sessions the tasks still compare.
    std::string error;
    const SessionCut cut = CutSessions(session, path, options.mask, model, error);
    if (cut == SessionCut::Cut) {
        side.mask = model.mask.name;
        side.loads = graphs::SessionLoads(model.sessions);
    } else {
        side.noSessions = cut == SessionCut::NoIdleTask ? "'" + path + "' has no idle task" : error;
    }

    std::unordered_map<std::uint32_t, std::uint32_t> longest;
    for (const GraphSample& s : model.samples)
        if (s.kind != graphs::kSampleUserEvent)
            longest[s.id] = std::max(longest[s.id], s.ticks);
    for (const TaskNumbers& task : TaskTableNumbers(session)) {
        side.names.push_back(task.name);
        side.tasks[task.name] = {static_cast<double>(task.runs), task.figures.share,
                                 task.figures.cpi, task.figures.mips,
                                 longest[task.id] / model.divisor};
    }
    return side;
}

// A change from A to B in percent of A; none when A is 0 and B is not.
struct Change {
    double a = 0.0;
    double b = 0.0;
    std::optional<double> percent;
    bool marked = false;
};

Change Compare(double a, double b, double threshold) {
    Change change{a, b, 0.0, false};
    if (a == b)
        return change;
    if (a == 0.0) {
        change.percent.reset();
        change.marked = true;
        return change;
    }
    change.percent = (b - a) / std::fabs(a) * 100.0;
    change.marked = std::fabs(*change.percent) > threshold;
    return change;
}

std::string ChangeText(const Change& change) {
    if (!change.percent)
        return "new";
    if (*change.percent == 0.0)
        return "";
    return (*change.percent > 0 ? "+" : "") + FigureText(*change.percent) + " %";
}

nlohmann::json ChangeJson(const Change& change) {
    return {{"a", change.a},
            {"b", change.b},
            {"changePercent", change.percent ? nlohmann::json(*change.percent) : nlohmann::json()},
            {"marked", change.marked}};
}

// Rows of five cells, names to the left, figures to the right, a "*" after a marked change.
void PrintRows(const std::vector<std::array<std::string, 5>>& rows,
               const std::vector<bool>& marked) {
    std::array<std::size_t, 5> widths{};
    for (const auto& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], row[c].size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::string line;
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            const std::string pad(widths[c] - rows[r][c].size(), ' ');
            line += (c > 0 ? "  " : "") + (c < 2 ? rows[r][c] + pad : pad + rows[r][c]);
        }
        if (marked[r])
            line += "  *";
        line.erase(line.find_last_not_of(' ') + 1);
        std::cout << line << '\n';
    }
}

void Run(const DiffOptions& options) {
    const Side a = Load(options.a, options);
    const Side b = Load(options.b, options);

    const auto loadFigure = [](const graphs::LoadDistribution& d, std::size_t k) {
        const std::uint32_t figures[] = {d.min, d.median, d.p95, d.max};
        return static_cast<double>(figures[k]);
    };
    std::vector<Change> loadChanges;
    if (a.loads && b.loads)
        for (std::size_t k = 0; k < kLoadFigures.size(); ++k)
            loadChanges.push_back(
                Compare(loadFigure(*a.loads, k), loadFigure(*b.loads, k), options.threshold));
    const std::string noSessions = !a.noSessions.empty() ? a.noSessions : b.noSessions;

    struct TaskChanges {
        std::string name;
        std::vector<Change> changes;
    };
    std::vector<TaskChanges> common;
    std::vector<std::string> onlyA;
    std::vector<std::string> onlyB;
    for (const std::string& name : a.names) {
        const auto other = b.tasks.find(name);
        if (other == b.tasks.end()) {
            onlyA.push_back(name);
            continue;
        }
        TaskChanges task{name, {}};
        for (std::size_t k = 0; k < kTaskFigures.size(); ++k)
            task.changes.push_back(
                Compare(a.tasks.at(name)[k], other->second[k], options.threshold));
        common.push_back(std::move(task));
    }
    for (const std::string& name : b.names)
        if (!a.tasks.contains(name))
            onlyB.push_back(name);

    std::size_t marked = 0;
    for (const Change& change : loadChanges)
        marked += change.marked;
    for (const TaskChanges& task : common)
        for (const Change& change : task.changes)
            marked += change.marked;

    if (options.json) {
        using nlohmann::json;
        const auto sideJson = [](const Side& side) {
            if (!side.loads)
                return json{{"file", side.path}, {"mask", nullptr}, {"sessions", nullptr}};
            return json{{"file", side.path}, {"mask", side.mask}, {"sessions", side.loads->count}};
        };
        json loads = loadChanges.empty() ? json{{"note", noSessions}} : json::object();
        for (std::size_t k = 0; k < loadChanges.size(); ++k)
            loads[kLoadFigures[k]] = ChangeJson(loadChanges[k]);
        json tasks = json::array();
        for (const TaskChanges& task : common) {
            json entry = {{"name", task.name}};
            for (std::size_t k = 0; k < kTaskFigures.size(); ++k)
                entry[kTaskFigures[k]] = ChangeJson(task.changes[k]);
            tasks.push_back(std::move(entry));
        }
        std::cout << json{{"a", sideJson(a)},
                          {"b", sideJson(b)},
                          {"thresholdPercent", options.threshold},
                          {"sessionCpuLoad", std::move(loads)},
                          {"tasks", std::move(tasks)},
                          {"onlyInA", onlyA},
                          {"onlyInB", onlyB},
                          {"marked", marked}}
                         .dump(2, ' ', false, json::error_handler_t::replace)
                  << '\n';
        return;
    }

    for (const Side* side : {&a, &b}) {
        std::cout << (side == &a ? "A: " : "B: ") << side->path;
        if (side->loads)
            std::cout << " (" << side->loads->count << " sessions closed by " << side->mask << ")";
        std::cout << '\n';
    }
    if (loadChanges.empty())
        std::cout << "session CPU load not compared: " << noSessions << '\n';
    std::vector<std::array<std::string, 5>> rows = {{"", "", "A", "B", "change"}};
    std::vector<bool> rowMarks = {false};
    const auto addRow = [&](const std::string& name, const std::string& figure,
                            const Change& change) {
        rows.push_back(
            {name, figure, FigureText(change.a), FigureText(change.b), ChangeText(change)});
        rowMarks.push_back(change.marked);
    };
    for (std::size_t k = 0; k < loadChanges.size(); ++k)
        addRow("session CPU load %", kLoadFigures[k], loadChanges[k]);
    for (const TaskChanges& task : common)
        for (std::size_t k = 0; k < kTaskFigures.size(); ++k)
            addRow(task.name, kTaskFigures[k], task.changes[k]);
    if (rows.size() > 1)
        PrintRows(rows, rowMarks);
    const auto list = [](const char* title, const std::vector<std::string>& names) {
        if (names.empty())
            return;
        std::cout << title;
        for (std::size_t i = 0; i < names.size(); ++i)
            std::cout << (i > 0 ? ", " : " ") << names[i];
        std::cout << '\n';
    };
    list("only in A:", onlyA);
    list("only in B:", onlyB);
    std::cout << marked << " changes beyond " << FigureText(options.threshold) << " %\n";
}

} // namespace

void RegisterDiffCommand(CLI::App& app) {
    auto options = std::make_shared<DiffOptions>();
    CLI::App* d = app.add_subcommand(
        "diff", "Compare two collections task by task and their session CPU load");
    d->add_option("A", options->a, "The collection before (.zcap, .zuta or .log)")
        ->required()
        ->check(CLI::ExistingFile);
    d->add_option("B", options->b, "The collection after")->required()->check(CLI::ExistingFile);
    d->add_option("--threshold", options->threshold,
                  "Mark changes of more than this many percent of A's figure (default 5)")
        ->check(FiniteNumber(0.0, 1e9));
    d->add_option("--mask", options->mask,
                  "Task whose runs close the sessions in both (default: the CPU graph's choice)");
    d->add_flag("--json", options->json, "JSON output");
    AddStoreOptions(*d, options->store);
    d->callback([options] { Run(*options); });
}

} // namespace zuta::cli
