#include "Commands.h"
#include "Session.h"
#include "SessionModel.h"
#include "engine/PerformanceData.h"
#include "engine/WireFormat.h"
#include "graphs/Budget.h"
#include "graphs/FunctionCalls.h"
#include "host/AtomicFile.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace zuta::cli {

namespace {

// Breaking a limit is the command's answer, not a fault; unusable input is told apart from it.
constexpr int kCheckBroken = 1;
constexpr int kCheckUnusable = 2;

struct CheckOptions {
    std::string input;
    std::string budget;
    std::string junit;
    bool json = false;
    StoreOptions store;
};

using graphs::LimitCheck;
using graphs::Verdict;

// Without sessions (a file that cannot be cut into them) a place names no session.
std::string Where(const graphs::BreachPlace& place, bool cut) {
    std::string text;
    if (cut)
        text = (place.session ? "session " + std::to_string(*place.session)
                              : std::string("after the last session")) +
               ", ";
    return text + "sample " + std::to_string(place.sample) + ", " + SecondsText(place.seconds) +
           " s";
}

// One line for the limit, then one per listed breach.
std::string Describe(const LimitCheck& check, bool cut) {
    std::string text = check.verdict == Verdict::Held ? "held    " : "BROKEN  ";
    text += check.name + ": " + (check.value ? FigureText(*check.value) : check.note) + " (limit " +
            FigureText(check.limit) + ")";
    if (check.breachCount > 0)
        text += ", " + std::to_string(check.breachCount) + " over the limit";
    text += '\n';
    for (const graphs::Breach& breach : check.breaches)
        if (breach.place)
            text += "        " + Where(*breach.place, cut) + ": " + FigureText(breach.value) + '\n';
    if (check.breachCount > check.breaches.size())
        text +=
            "        and " + std::to_string(check.breachCount - check.breaches.size()) + " more\n";
    return text;
}

nlohmann::json ReportJson(const CheckOptions& options, const std::string& mask,
                          const std::vector<LimitCheck>& checks, bool passed) {
    using nlohmann::json;
    json limits = json::array();
    for (const LimitCheck& check : checks) {
        json breaches = json::array();
        for (const graphs::Breach& breach : check.breaches) {
            json b = {{"value", breach.value}};
            if (breach.place) {
                b["session"] = breach.place->session ? json(*breach.place->session) : json();
                b["sample"] = breach.place->sample;
                b["seconds"] = breach.place->seconds;
            }
            breaches.push_back(std::move(b));
        }
        json entry = {{"name", check.name},
                      {"limit", check.limit},
                      {"held", check.verdict == Verdict::Held},
                      {"value", check.value ? json(*check.value) : json()},
                      {"breachCount", check.breachCount},
                      {"breaches", std::move(breaches)}};
        if (!check.note.empty())
            entry["note"] = check.note;
        limits.push_back(std::move(entry));
    }
    return {{"file", options.input},
            {"budget", options.budget},
            {"mask", mask.empty() ? json() : json(mask)},
            {"passed", passed},
            {"limits", std::move(limits)}};
}

// Text for XML: markup characters as entities, and what XML 1.0 cannot carry (control
// characters, bytes that are not UTF-8) as U+FFFD.
std::string XmlText(std::string_view text) {
    static const std::string kReplacement = "\xEF\xBF\xBD";
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80                ? 1
                             : c >= 0xC2 && c < 0xE0 ? 2
                             : c >= 0xE0 && c < 0xF0 ? 3
                             : c >= 0xF0 && c < 0xF5 ? 4
                                                     : 0;
        for (std::size_t k = 1; k < length; ++k)
            if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                length = 0;
        if (length == 0 || (c < 0x20 && c != '\t' && c != '\n' && c != '\r')) {
            out += kReplacement;
            ++i;
            continue;
        }
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

// One test case per limit, in one suite named after the file checked.
std::string JUnitXml(const CheckOptions& options, const std::vector<LimitCheck>& checks, bool cut) {
    std::size_t failures = 0;
    for (const LimitCheck& check : checks)
        failures += check.verdict == Verdict::Broken;
    const std::string counts = " tests=\"" + std::to_string(checks.size()) + "\" failures=\"" +
                               std::to_string(failures) + "\" errors=\"0\"";
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"zuta check\"" + counts +
        ">\n  <testsuite name=\"" + XmlText(options.input) + "\"" + counts + ">\n";
    for (const LimitCheck& check : checks) {
        xml += "    <testcase classname=\"zuta.check\" name=\"" + XmlText(check.name) + "\"";
        if (check.verdict == Verdict::Held) {
            xml += "/>\n";
            continue;
        }
        const std::string message =
            (check.value ? FigureText(*check.value) + " > " : check.note + ", limit ") +
            FigureText(check.limit);
        xml += ">\n      <failure message=\"" + XmlText(message) + "\">" +
               XmlText(Describe(check, cut)) + "</failure>\n    </testcase>\n";
    }
    return xml + "  </testsuite>\n</testsuites>\n";
}

graphs::Budget ReadBudget(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        Fail("cannot read the budget '" + path + "': " + std::strerror(errno), kCheckUnusable);
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    graphs::Budget budget;
    std::string error;
    if (!graphs::ParseBudget(text, budget, error))
        Fail("the budget '" + path + "' is unusable: " + error, kCheckUnusable);
    return budget;
}

// The task table's figures of every task, HISR and IRQ, by name, to two decimals as the table
// shows them: a limit set to a figure read off the table holds.
std::map<std::string, graphs::TaskFacts> TaskFacts(Session& session) {
    const auto shown = [](double figure) { return std::round(figure * 100.0) / 100.0; };
    std::map<std::string, graphs::TaskFacts> facts;
    for (const TaskNumbers& task : TaskTableNumbers(session))
        facts[task.name] = {task.id, shown(task.figures.share), shown(task.figures.cpi)};
    return facts;
}

// Function numbers by the names the store gave them.
std::map<std::string, std::uint32_t> FunctionNumbers(const CPerformanceData& data) {
    return data.Read([](const StoreState& s) {
        std::map<std::string, std::uint32_t> numbers;
        for (const auto& [id, task] : s.tasks)
            if (task.type == kTypeFunctionEnter || task.type == kTypeFunctionExit)
                numbers[task.name] = id - wire::kFunctionIdBase;
        return numbers;
    });
}

void Run(const CheckOptions& options) {
    const graphs::Budget budget = ReadBudget(options.budget);
    Session session(options.store);
    SessionModel model = LoadSamples(session, options.input, kCheckUnusable);

    graphs::CheckInput input;
    input.samples = model.samples;
    input.ticksPerMicrosecond = model.divisor;
    input.cpuLoad = session.data().GetCpuLoad();
    std::string error;
    const SessionCut cut = CutSessions(session, options.input, budget.sessionMask, model, error);
    if (cut == SessionCut::Cut) {
        input.sessions = &model.sessions;
    } else if (budget.LimitsSessions() || !budget.sessionMask.empty()) {
        Fail(cut == SessionCut::NoIdleTask
                 ? "'" + options.input + "' has no idle task: it cannot be cut into sessions"
                 : error,
             kCheckUnusable);
    }
    input.tasks = TaskFacts(session);

    std::vector<GraphSample> withCalls;
    graphs::FunctionCallSet calls;
    if (!budget.functions.empty()) {
        session.data().BuildGraphSamples(withCalls, true);
        calls = graphs::BuildFunctionCalls(withCalls);
        input.calls = &calls;
        input.callSamples = withCalls;
        input.functions = FunctionNumbers(session.data());
    }

    const std::vector<LimitCheck> checks = graphs::CheckBudget(budget, input);
    std::size_t broken = 0;
    for (const LimitCheck& check : checks)
        broken += check.verdict == Verdict::Broken;

    if (!options.junit.empty()) {
        if (!host::WriteFileAtomically(options.junit,
                                       JUnitXml(options, checks, input.sessions != nullptr), error))
            Fail(error, kExitCannotWrite);
    }
    if (options.json) {
        std::cout << ReportJson(options, model.mask.name, checks, broken == 0)
                         .dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
                  << '\n';
    } else {
        for (const LimitCheck& check : checks)
            std::cout << Describe(check, input.sessions != nullptr);
        std::cout << (broken == 0 ? "all " + std::to_string(checks.size()) + " limits hold"
                                  : std::to_string(broken) + " of " +
                                        std::to_string(checks.size()) + " limits broken")
                  << '\n';
    }
    if (broken != 0)
        throw CLI::RuntimeError(kCheckBroken);
}

} // namespace

void RegisterCheckCommand(CLI::App& app) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App* c = app.add_subcommand(
        "check", "Check a collection against a CPU budget (a regression gate for CI)");
    c->add_option("FILE", options->input, "Capture (.zcap), session file (.zuta) or raw log (.log)")
        ->required()
        ->check(CLI::ExistingFile);
    c->add_option("--budget", options->budget, "Budget file (JSON, see docs/CHECK.md)")->required();
    c->add_option("--junit", options->junit,
                  "Also write the result as JUnit XML, one test case "
                  "per limit");
    c->add_flag("--json", options->json, "JSON output");
    AddStoreOptions(*c, options->store);
    c->footer("Exit status of check:\n"
              "  0  every limit holds\n"
              "  1  a limit is broken\n"
              "  2  unusable input: the budget cannot be read, is not JSON or has an unknown\n"
              "     key, the file cannot be read or holds no sample, or the sessions cannot be\n"
              "     cut; also a wrong command line\n"
              "  3  the JUnit file cannot be written");
    c->callback([options] { Run(*options); });
}

} // namespace zuta::cli
