// `zuta trace`: a golden trace of a small session, the example capture's runs and calls on their
// threads, names that are not UTF-8, and the exit statuses.
#include "graphs/TraceExport.h"
#include "support/CliRun.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace {

using zuta::test::ReadFileBytes;
using zuta::test::RunCli;
using zuta::test::TempFolder;

const std::string kSmall = ZUTA_TEST_DATA_DIR "/tools/trace-small.zuta";
const std::string kExample = ZUTA_EXAMPLES_DIR "/modem-full.zcap";

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

TEST(TraceCli, WritesTheGoldenTraceOfASmallSession) {
    // Two sessions, nested calls, a call across an IRQ, a user event with calls after it (which
    // the run's graph sample leaves out), a name that is not UTF-8 and a run of a task the file
    // does not name. The input is canonical: `zuta convert` writes it back byte for byte.
    TempFolder dir("zuta-trace");
    const auto file = RunCli(ZUTA_CLI, dir, "trace '" + kSmall + "' -o small.json");
    ASSERT_EQ(file.exitCode, 0) << file.err;
    const std::string expected = ReadFileBytes(ZUTA_TEST_DATA_DIR "/tools/trace-small.trace.json");
    EXPECT_EQ(ReadFileBytes(dir / "small.json"), expected);
    const auto out = RunCli(ZUTA_CLI, dir, "trace '" + kSmall + "' -o -");
    ASSERT_EQ(out.exitCode, 0);
    EXPECT_EQ(out.out, expected);
    const auto json = nlohmann::json::parse(expected);
    EXPECT_EQ(json["traceEvents"][5]["args"]["name"], "Caf\xef\xbf\xbd_\"Task\"");
}

TEST(TraceCli, RunsAddUpToActiveTime) {
    TempFolder dir("zuta-trace");
    const auto trace = RunCli(ZUTA_CLI, dir, "trace '" + kExample + "' -o -");
    ASSERT_EQ(trace.exitCode, 0) << trace.err;
    const auto table =
        nlohmann::json::parse(RunCli(ZUTA_CLI, dir, "table '" + kExample + "' --json").out);
    const double divisor = nlohmann::json::parse(
        RunCli(ZUTA_CLI, dir, "calls '" + kExample + "' --json").out)["divisor"];

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

TEST(TraceCli, ExitsWithTheStatusOfTheCause) {
    TempFolder dir("zuta-trace");
    std::ofstream(dir / "kept.json") << "old";
    const std::pair<std::string, int> cases[] = {
        {"--mask NoSuchTask -o kept.json", 1},
        {"-o missing/out.json", 3},
        {"", 2},
    };
    for (const auto& [args, status] : cases)
        EXPECT_EQ(RunCli(ZUTA_CLI, dir, "trace '" + kSmall + "' " + args).exitCode, status) << args;
    EXPECT_EQ(ReadFileBytes(dir / "kept.json"), "old");
}

} // namespace
