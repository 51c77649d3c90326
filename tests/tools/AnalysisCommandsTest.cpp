// Budgets and the commands that judge a collection: check, diff and trace. Their golden outputs and
// exit statuses are checked with the other commands' (CliTest).
#include "graphs/Budget.h"
#include "graphs/FunctionCalls.h"
#include "graphs/TraceExport.h"
#include "support/CliRun.h"

#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace {

using namespace zuta::graphs;
using zuta::GraphSample;
using zuta::test::ReadFileBytes;
using zuta::test::TempFolder;

GraphSample Sample(std::uint32_t id, std::uint32_t ticks, std::uint32_t kind) {
    return {.id = id, .ticks = ticks, .kind = kind};
}

constexpr std::uint32_t kIdle = 1000, kTask = 1001, kMask = 4;

// Two sessions (loads 50 and 95, 100 and 220 µs long) and a run of the task after the last.
const std::vector<GraphSample> kSamples = {
    Sample(kIdle, 50, 1), Sample(kTask, 50, 1), Sample(kMask, 10, 3), Sample(kTask, 200, 1),
    Sample(7, 0, 2),      Sample(kIdle, 10, 1), Sample(kMask, 10, 3), Sample(kTask, 300, 1),
};

Budget Parse(const std::string& text) {
    Budget budget;
    std::string error;
    EXPECT_TRUE(ParseBudget(text, budget, error)) << text << ": " << error;
    return budget;
}

TEST(Budget, ParsesEveryPartAndRefusesWhatItCannotUse) {
    const Budget b = Parse(R"({"cpuLoad": {"max": 40}, "sessions": {"mask": "FrameInt",
        "maxCpu": 85, "p95Cpu": 65.5, "maxDurationUs": 4700}, "tasks": {"B": {"maxCpi": 2},
        "A": {"maxShare": 1, "maxRunUs": 900}}, "functions": {"Fn1": {"maxCallUs": 800}}})");
    EXPECT_EQ(b.sessionP95Cpu, 65.5);
    ASSERT_EQ(b.tasks.size(), 2u);
    EXPECT_EQ(b.tasks[0].first, "B"); // the file's order
    EXPECT_FALSE(b.tasks[1].second.maxCpi);
    EXPECT_EQ(b.functions.at(0).second.maxCallUs, 800);

    const std::pair<const char*, const char*> refused[] = {
        {R"({"cpuLoad": {"max": 40, "min": 1}})", "cpuLoad: unknown key 'min'"},
        {R"({"cpuLoad": {"max": 1}, "cpuLoad": {"max": 2}})", "key 'cpuLoad' is repeated"},
        {R"({"sessions": {"maxCpu": -1}})", "'maxCpu' is not a number of at least 0"},
        {R"({"cpuLoad": )", "not JSON"},
    };
    for (const auto& [text, message] : refused) {
        Budget budget;
        std::string error;
        EXPECT_FALSE(ParseBudget(text, budget, error)) << text;
        EXPECT_NE(error.find(message), std::string::npos) << text << ": " << error;
    }
}

TEST(Budget, NearestRankPercentiles) {
    EXPECT_EQ(NearestRank(0, 95), 0u);
    EXPECT_EQ(NearestRank(4, 50), 2u); // the lower middle
    EXPECT_EQ(NearestRank(21, 95), 20u);
    CpuSessionSet set;
    for (const std::uint32_t load : {30, 10, 90, 20})
        set.sessions.push_back({load, 0, 0, 0, 0, 0});
    const LoadDistribution d = SessionLoads(set);
    const std::vector<std::uint32_t> figures = {d.min, d.median, d.p95, d.max};
    EXPECT_EQ(figures, (std::vector<std::uint32_t>{10, 20, 90, 90}));
}

struct Expected {
    const char* budget;
    Verdict verdict;
    double value;
    // Listed breaches as "session/sample/microseconds from the start", "-" for no session.
    std::vector<std::string> places;
};

std::string Place(const Breach& b) {
    if (!b.place)
        return "whole";
    return (b.place->session ? std::to_string(*b.place->session) : std::string("-")) + "/" +
           std::to_string(b.place->sample) + "/" +
           std::to_string(static_cast<int>(b.place->seconds * 1e6 + 0.5));
}

TEST(Budget, EachLimitHoldsOrBreaksWhereItHappened) {
    CpuSessionSet sessions;
    ASSERT_EQ(BuildCpuSessions(kSamples, kMask, kIdle, 1.0, sessions), SessionBuild::Built);
    CheckInput input;
    input.samples = kSamples;
    input.cpuLoad = 40;
    input.sessions = &sessions;
    input.tasks["T"] = {kTask, 12.5, 1.5};

    const Expected cases[] = {
        // A limit equal to the value holds.
        {R"({"cpuLoad": {"max": 40}})", Verdict::Held, 40, {}},
        {R"({"cpuLoad": {"max": 39.5}})", Verdict::Broken, 40, {}},
        {R"({"sessions": {"maxCpu": 90}})", Verdict::Broken, 95, {"1/2/100"}},
        {R"({"sessions": {"p95Cpu": 40}})", Verdict::Broken, 95, {"1/2/100", "0/0/0"}},
        {R"({"sessions": {"maxDurationUs": 200}})", Verdict::Broken, 220, {"1/2/100"}},
        {R"({"tasks": {"T": {"maxShare": 12}}})", Verdict::Broken, 12.5, {}},
        {R"({"tasks": {"T": {"maxCpi": 1.4}}})", Verdict::Broken, 1.5, {}},
        // Worst first; the last run came after the last session.
        {R"({"tasks": {"T": {"maxRunUs": 100}}})", Verdict::Broken, 300, {"-/7/330", "1/3/110"}},
    };
    for (const Expected& c : cases) {
        const auto checks = CheckBudget(Parse(c.budget), input);
        ASSERT_EQ(checks.size(), 1u) << c.budget;
        EXPECT_EQ(checks[0].verdict, c.verdict) << c.budget;
        EXPECT_EQ(checks[0].value, c.value) << c.budget;
        std::vector<std::string> places;
        for (const Breach& b : checks[0].breaches)
            places.push_back(Place(b));
        EXPECT_EQ(places, c.places) << c.budget;
    }

    // What the collection lacks breaks the limit rather than passing it unseen.
    const auto unknown = CheckBudget(Parse(R"({"tasks": {"X": {"maxCpi": 9}},
        "functions": {"F": {"maxCallUs": 9}}, "sessions": {"maxCpu": 100}})"),
                                     CheckInput{kSamples, 1.0, 0, nullptr, {}, nullptr, {}, {}});
    ASSERT_EQ(unknown.size(), 3u);
    for (const LimitCheck& check : unknown) {
        EXPECT_EQ(check.verdict, Verdict::Broken) << check.name;
        EXPECT_FALSE(check.note.empty()) << check.name;
    }
}

TEST(Budget, CallsArePlacedAtTheRunTheyWereMadeIn) {
    // Indices with function events 0..6; without them the runs are samples 0, 1 and 2.
    const std::vector<GraphSample> withCalls = {
        Sample(kTask, 100, 1), Sample(7, 5, 4), Sample(7, 20, 5), Sample(kMask, 10, 3),
        Sample(kTask, 100, 1), Sample(7, 5, 4), Sample(7, 30, 5),
    };
    const FunctionCallSet calls = BuildFunctionCalls(withCalls);
    CheckInput input;
    input.calls = &calls;
    input.callSamples = withCalls;
    input.functions["Fn7"] = 7;
    const auto held = CheckBudget(Parse(R"({"functions": {"Fn7": {"maxCallUs": 1e6}}})"), input);
    EXPECT_EQ(held.at(0).verdict, Verdict::Held);
    const auto broken = CheckBudget(Parse(R"({"functions": {"Fn7": {"maxCallUs": 0}}})"), input);
    ASSERT_EQ(broken.at(0).breaches.size(), 2u);
    EXPECT_EQ(broken[0].breaches[0].place->sample, 2u);
    EXPECT_EQ(broken[0].breaches[1].place->sample, 0u);
}

// --- the commands -------------------------------------------------------------------------------

using Result = zuta::test::CliResult;

class CheckDiff : public ::testing::Test {
protected:
    Result Run(const std::string& args) { return zuta::test::RunCli(ZUTA_CLI, dir_, args); }
    TempFolder dir_{"zuta-check"};
};

const std::string kCapture = ZUTA_EXAMPLES_DIR "/modem-full.zcap";
const std::string kBudget = ZUTA_EXAMPLES_DIR "/modem-full.budget.json";

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The example budget holds for the example capture; a tight one says where it breaks, in text,
// JUnit and JSON alike.
TEST_F(CheckDiff, CheckSaysWhichLimitsHoldAndWhereTheOthersBreak) {
    const Result ok = Run("check -q '" + kCapture + "' --budget '" + kBudget + "' --junit ok.xml");
    ASSERT_EQ(ok.exitCode, 0) << ok.err << ok.out;
    EXPECT_NE(ok.out.find("all 13 limits hold"), std::string::npos) << ok.out;
    const std::string okXml = ReadFileBytes(dir_ / "ok.xml");
    EXPECT_EQ(Count(okXml, "<testcase "), 13u);
    EXPECT_EQ(Count(okXml, "<failure"), 0u);

    std::ofstream(dir_ / "tight.json") << R"({"sessions": {"maxCpu": 70}, "tasks": {"L1_Task": {
        "maxRunUs": 300, "maxShare": 50}, "A&<B>": {"maxCpi": 1}}})";
    const Result r = Run("check -q '" + kCapture + "' --budget tight.json --junit out.xml");
    EXPECT_EQ(r.exitCode, 1) << r.err;
    for (const char* line : {"BROKEN  tasks.L1_Task.maxRunUs: 829.31 (limit 300), 136 over",
                             "session 106, sample 1372, 0.4438 s: 829.31", "and 126 more",
                             "no task named 'A&<B>'", "3 of 4 limits broken"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    const std::string xml = ReadFileBytes(dir_ / "out.xml");
    EXPECT_EQ(Count(xml, "<testcase "), 4u);
    EXPECT_EQ(Count(xml, "<failure"), 3u);
    EXPECT_NE(xml.find("name=\"tasks.A&amp;&lt;B&gt;.maxCpi\""), std::string::npos);

    const Result json = Run("check -q '" + kCapture + "' --budget tight.json --json");
    EXPECT_EQ(json.exitCode, 1);
    const auto report = nlohmann::json::parse(json.out);
    EXPECT_FALSE(report["passed"]);
    EXPECT_EQ(report.at("limits").at(2).at("breaches").at(0).at("sample"), 1372);
}

TEST_F(CheckDiff, DiffMarksOnlyWhatChanged) {
    const Result same = Run("diff -q '" + kCapture + "' '" + kCapture + "' --json");
    ASSERT_EQ(same.exitCode, 0) << same.err;
    const auto s = nlohmann::json::parse(same.out);
    EXPECT_EQ(s["marked"], 0);
    EXPECT_EQ(s["tasks"].size(), 16u);

    // The same runs at half the clock last twice as long; shares and loads stay.
    ASSERT_EQ(Run("replay -q '" + kCapture + "' --clock 104 -o slow.zuta").exitCode, 0);
    const Result slow = Run("diff -q '" + kCapture + "' slow.zuta --threshold 10 --json");
    ASSERT_EQ(slow.exitCode, 0) << slow.err;
    const auto d = nlohmann::json::parse(slow.out);
    for (const auto& load : d["sessionCpuLoad"])
        EXPECT_FALSE(load["marked"]);
    const auto& l1 = d["tasks"][5];
    ASSERT_EQ(l1["name"], "L1_Task");
    EXPECT_FALSE(l1["share"]["marked"]);
    EXPECT_NEAR(l1["longestRunUs"]["changePercent"].get<double>(), 100.0, 1e-9);
    const Result text = Run("diff -q '" + kCapture + "' slow.zuta");
    EXPECT_NE(text.out.find("829.31  1658.62    +100 %  *\n"), std::string::npos) << text.out;

    // Different tasks are listed; a file without an idle task still compares its tasks.
    const Result other =
        Run("diff -q '" + kCapture + "' '" ZUTA_TEST_DATA_DIR "/files/session_v2.zuta' --json");
    ASSERT_EQ(other.exitCode, 0) << other.err;
    const auto o = nlohmann::json::parse(other.out);
    EXPECT_EQ(o["onlyInA"].size(), 16u);
    EXPECT_EQ(o["onlyInB"], nlohmann::json({"IRQ7", "IDLE_TASK", "Timer_HISR"}));
    EXPECT_TRUE(o["sessionCpuLoad"].contains("note"));
}

TEST(TraceExport, WritesNamesAsValidEscapedUtf8) {
    const std::pair<std::string, std::string> cases[] = {
        {"L1_Task", "\"L1_Task\""},
        {"a\"b\\c\n\t\x01", R"("a\"b\\c\n\t\u0001")"},
        {"\xe2\x82\xac \xf0\x9f\x93\xa1", "\"\xe2\x82\xac \xf0\x9f\x93\xa1\""}, // kept as they are
        {"Caf\xe9", "\"Caf\xef\xbf\xbd\""},                                     // Latin-1
        {"\xe2\x82", "\"\xef\xbf\xbd\xef\xbf\xbd\""},                           // cut short
        {"\xc0\xaf", "\"\xef\xbf\xbd\xef\xbf\xbd\""},                           // overlong
        {"\xed\xa0\x80", "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""},           // surrogate
        {"\xf4\x90\x80\x80", "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""}, // > U+10FFFF
    };
    for (const auto& [name, expected] : cases) {
        std::string out;
        zuta::graphs::AppendJsonString(out, name);
        EXPECT_EQ(out, expected) << name;
        EXPECT_TRUE(nlohmann::json::accept(out)) << name;
    }
}

TEST(TraceCli, RunsAddUpToActiveTime) {
    TempFolder dir("zuta-trace");
    const auto trace = zuta::test::RunCli(ZUTA_CLI, dir, "trace '" + kCapture + "' -o -");
    ASSERT_EQ(trace.exitCode, 0) << trace.err;
    const auto table = nlohmann::json::parse(
        zuta::test::RunCli(ZUTA_CLI, dir, "table '" + kCapture + "' --json").out);
    const double divisor = nlohmann::json::parse(
        zuta::test::RunCli(ZUTA_CLI, dir, "calls '" + kCapture + "' --json").out)["divisor"];

    std::map<int, std::string> names;
    std::map<int, std::pair<std::int64_t, std::int64_t>> runs; // nanoseconds and count per thread
    int calls = 0, loads = 0;
    const auto json = nlohmann::json::parse(trace.out);
    for (const auto& e : json["traceEvents"]) {
        if (e["ph"] == "M" && e["name"] == "thread_name")
            names[e["tid"]] = e["args"]["name"];
        loads += e["ph"] == "C";
        calls += e["ph"] == "X" && e["cat"] != "run";
        if (e["ph"] == "X" && e["cat"] == "run") {
            auto& [sum, count] = runs[e["tid"]];
            sum += std::llround(e["dur"].get<double>() * 1000);
            ++count;
        }
    }
    EXPECT_EQ(loads, 217);
    EXPECT_GE(calls, 1280);

    std::map<std::string, std::int64_t> ticks;
    for (const auto& row : table)
        ticks[row["Task Name"]] = std::stoll(row["Active Time"].get<std::string>());
    ASSERT_EQ(names.size(), ticks.size());
    for (const auto& [tid, run] : runs) {
        // Each end is rounded to the nanosecond.
        EXPECT_NEAR(run.first, ticks[names[tid]] * 1000 / divisor, run.second + 1) << names[tid];
    }
}

} // namespace
