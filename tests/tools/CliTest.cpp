#include "support/CliRun.h"
#include "support/SilentTarget.h"
#include "support/TempFolder.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>

namespace {

namespace fs = std::filesystem;

using zuta::test::ReadFileBytes;

using Result = zuta::test::CliResult;

class Cli : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir_.path().empty()); }

    // Runs zuta with its own settings file in the test folder.
    Result Run(const std::string& args) { return zuta::test::RunCli(ZUTA_CLI, dir_, args); }
    zuta::test::TempFolder dir_{"zuta-cli"};
};

const std::string kCapture = ZUTA_EXAMPLES_DIR "/modem-full.zcap";
const std::string kData = ZUTA_TEST_DATA_DIR "/tools/";

// Each command's whole output for a fixed input, against the file beside the input.
TEST_F(Cli, CommandsWriteTheirGoldenOutput) {
    struct Case {
        std::string args;
        const char* golden;
        const char* written = nullptr; // the file the command writes, else its standard output
    };
    const Case cases[] = {
        {"replay -q '" + kCapture + "'", "modem-full.table.txt"},
        // The sessions command shares its loading and cutting with check and diff.
        {"sessions -q '" + kCapture + "' --json", "modem-full.sessions.json"},
        // Nested calls, an exit with no call open, a call across task switches whose positions
        // pass 32 bits, and enters that nothing closes.
        {"calls '" + kData + "calls-small.zuta' --json", "calls-small.calls.json"},
        {"calls '" + kData + "calls-none.zuta' --json", "calls-none.calls.json"},
        // Two sessions, nested calls, a call across an IRQ, a user event with calls after it (which
        // the run's graph sample leaves out), a name that is not UTF-8 and a run of a task the file
        // does not name.
        {"trace '" + kData + "trace-small.zuta' -o -", "trace-small.trace.json"},
        {"trace '" + kData + "trace-small.zuta' -o small.json", "trace-small.trace.json",
         "small.json"},
    };
    for (const Case& c : cases) {
        const Result r = Run(c.args);
        ASSERT_EQ(r.exitCode, 0) << c.args << ": " << r.err;
        EXPECT_EQ(c.written != nullptr ? ReadFileBytes(dir_ / c.written) : r.out,
                  ReadFileBytes(kData + c.golden))
            << c.args;
    }
}

// A replayed session converts to the same bytes, and exports to a file as the capture does to
// standard output; names that are not UTF-8 come out valid.
TEST_F(Cli, ReplaySavesASessionThatConvertsAndExports) {
    ASSERT_EQ(Run("replay -q '" + kCapture + "' -o a.zuta").exitCode, 0);
    ASSERT_EQ(Run("convert a.zuta -o b.zuta").exitCode, 0);
    EXPECT_EQ(ReadFileBytes(dir_ / "a.zuta"), ReadFileBytes(dir_ / "b.zuta"));
    ASSERT_EQ(Run("export a.zuta -o a.txt").exitCode, 0);
    const Result exported = Run("export -q '" + kCapture + "' -o -");
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_EQ(exported.out.rfind("TaskName;TaskID;", 0), 0u);
    EXPECT_NE(exported.out.find("CommPM_L"), std::string::npos);
    EXPECT_EQ(exported.out, ReadFileBytes(dir_ / "a.txt"));

    std::string session = ReadFileBytes(ZUTA_TEST_DATA_DIR "/files/session_v2.zuta");
    session.replace(session.find("Timer_HISR"), 5, "Tim\xe9r");
    std::ofstream(dir_ / "latin1.zuta", std::ios::binary) << session;
    for (const char* command : {"dump latin1.zuta", "table latin1.zuta --json"}) {
        const Result r = Run(command);
        ASSERT_EQ(r.exitCode, 0) << command << ": " << r.err;
        EXPECT_NE(r.out.find("Tim\xef\xbf\xbdr_HISR"), std::string::npos) << command;
        EXPECT_TRUE(nlohmann::json::accept(r.out)) << command;
    }
    EXPECT_TRUE(nlohmann::json::parse(Run("table a.zuta --json").out).at(0).contains("color"));
}

TEST_F(Cli, EachCauseHasItsExitStatusAndOneLine) {
    struct Case {
        std::string args;
        int status;
        std::string message;
    };
    std::ofstream(dir_ / "bad.zuta") << "DCRaw , 4 , 1\n";
    std::ofstream(dir_ / "empty.zcap") << "ZUTACAP1";
    std::ofstream(dir_ / "boot.log") << ReadFileBytes(ZUTA_TEST_DATA_DIR "/files/boot.log");
    std::ofstream(dir_ / "old.zuta") << "keep";
    std::ofstream(dir_ / "bad.zcap") << "NOTACAPT";
    std::ofstream(dir_ / "notes.txt") << "x";
    std::ofstream(dir_ / "mask.json") << R"({"sessions": {"mask": "NoSuchTask"}})";
    const std::string small = "trace '" + kData + "trace-small.zuta' ";
    const Case cases[] = {
        {"table bad.zuta", 1, "Unsupported ZUTA file version"},
        {"replay bad.zcap", 1, "not a ZUTA capture"},
        {"dump notes.txt", 1, "notes.txt"},
        {small + "--mask NoSuchTask -o old.zuta", 1, "has no task named 'NoSuchTask'"},
        {"check '" + kCapture + "' --budget mask.json", 2, "has no task named 'NoSuchTask'"},
        {"check missing.zcap --budget mask.json", 2, "missing.zcap"},
        {small, 2, "--output is required"},
        {"table '" + kCapture + "' --sort nosuch", 2, "no column 'nosuch'"},
        {"collect --simulate --seconds nan -o o.zuta", 2, "--seconds"},
        {"import boot.log -o ./boot.log", 2, "is the raw log being imported"},
        {"collect --simulate -o missing/o.zuta", 3, "does not exist"},
        {"export '" + kCapture + "' -o missing/a.txt", 3, "missing/a.txt"},
        {small + "-o missing/out.json", 3, "cannot create a file beside 'missing/out.json'"},
        {"replay empty.zcap -o old.zuta", 4, "yielded no sample"},
        // A bracketed IPv6 address is an address: the target is not there, not a usage mistake.
        {"collect -q --agent [::1]:1 -o o.zuta", 6, "cannot reach the target at ::1:1"},
    };
    for (const Case& c : cases) {
        const Result r = Run(c.args);
        EXPECT_EQ(r.exitCode, c.status) << c.args << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
        if (c.status != 2) { // CLI11 adds a hint line to its own usage errors
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.args << ": " << r.err;
        }
    }
    EXPECT_EQ(ReadFileBytes(dir_ / "old.zuta"), "keep");
    EXPECT_EQ(ReadFileBytes(dir_ / "boot.log"),
              ReadFileBytes(ZUTA_TEST_DATA_DIR "/files/boot.log"));
    EXPECT_FALSE(fs::exists(dir_ / "o.zuta"));
}

TEST_F(Cli, ACollectionCutShortIsSavedAndSaysSo) {
    const Result r = Run("collect --simulate --seconds 0.5 -q --fault drop@0.1 -o cut.zuta");
    EXPECT_EQ(r.exitCode, 5) << r.err;
    EXPECT_NE(r.err.find("bytes skipped"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(dir_ / "cut.zuta"));
}

TEST_F(Cli, CollectFromATargetThatNeverAnswersGivesUpWithinSeconds) {
    using Kind = zuta::test::SilentTarget::Kind;
    struct Case {
        Kind kind;
        const char* message;
    };
    for (const Case c : {Case{Kind::ConnectHangs, "cannot reach the target at 127.0.0.1:"},
                         Case{Kind::TakesConnections, "did not answer"}}) {
        const zuta::test::SilentTarget target(c.kind);
        ASSERT_NE(target.port(), 0);
        const auto start = std::chrono::steady_clock::now();
        const Result r =
            Run("collect -q -o out.zuta --agent 127.0.0.1:" + std::to_string(target.port()));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        EXPECT_NE(r.exitCode, 0);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir_ / "out.zuta"));
}

TEST_F(Cli, CollectFromTheSimulatedTargetMatchesItsGroundTruth) {
    const Result r = Run("collect --simulate --seconds 0.5 -q -o live.zuta --capture live.zcap");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Ground truth of the simulated target: matches"), std::string::npos);
    // The capture of the live run replays to the same table.
    const Result replay = Run("replay -q live.zcap");
    ASSERT_EQ(replay.exitCode, 0) << replay.err;
    const auto firstLines = [](const std::string& s) { return s.substr(0, s.find("No. of")); };
    EXPECT_EQ(firstLines(replay.out), firstLines(r.out));
}

} // namespace
