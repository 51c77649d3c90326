#include "support/CliRun.h"
#include "support/SilentTarget.h"
#include "support/TempFolder.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

using zuta::test::ReadFileBytes;
using zuta::test::TempFolder;

using Result = zuta::test::CliResult;

class Cli : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir_.path().empty()); }

    // Runs zuta with its own settings file in the test folder.
    Result Run(const std::string& args) { return zuta::test::RunCli(ZUTA_CLI, dir_, args); }
    TempFolder dir_{"zuta-cli"};
};

const std::string kCapture = ZUTA_EXAMPLES_DIR "/modem-full.zcap";

TEST_F(Cli, ReplayOfTheExampleCapturePrintsTheExpectedTable) {
    const Result r = Run("replay -q '" + kCapture + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, ReadFileBytes(ZUTA_TEST_DATA_DIR "/tools/modem-full.table.txt"));
}

TEST_F(Cli, DumpOfTheExampleCapture) {
    const Result r = Run("dump -q '" + kCapture + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["idleTaskId"], 1000);
    EXPECT_GT(json["samples"].size(), 1000u);
    EXPECT_EQ(json["pendingEvents"].size(), 0u);
    // The collector's raw data blocks are echoed as text.
    EXPECT_NE(json["rawText"].get<std::string>().find("Data ID "), std::string::npos);
}

TEST_F(Cli, ReplaySavesASessionThatConvertsAndExports) {
    ASSERT_EQ(Run("replay -q '" + kCapture + "' -o a.zuta").exitCode, 0);
    ASSERT_EQ(Run("convert a.zuta -o b.zuta").exitCode, 0);
    EXPECT_EQ(ReadFileBytes(dir_ / "a.zuta"), ReadFileBytes(dir_ / "b.zuta"));
    const Result exported = Run("export a.zuta -o a.txt");
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    const std::string text = ReadFileBytes(dir_ / "a.txt");
    EXPECT_NE(text.find("CommPM_L"), std::string::npos);
    const Result table = Run("table a.zuta --json");
    ASSERT_EQ(table.exitCode, 0) << table.err;
    const auto rows = nlohmann::json::parse(table.out);
    ASSERT_FALSE(rows.empty());
    EXPECT_TRUE(rows[0].contains("color"));
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
    const Case cases[] = {
        {"table bad.zuta", 1, "Unsupported ZUTA file version"},
        {"replay bad.zcap", 1, "not a ZUTA capture"},
        {"dump notes.txt", 1, "notes.txt"},
        {"table '" + kCapture + "' --sort nosuch", 2, "no column 'nosuch'"},
        {"collect --simulate --seconds nan -o o.zuta", 2, "--seconds"},
        {"import boot.log -o ./boot.log", 2, "is the raw log being imported"},
        {"collect --simulate -o missing/o.zuta", 3, "does not exist"},
        {"export '" + kCapture + "' -o missing/a.txt", 3, "missing/a.txt"},
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

TEST_F(Cli, NamesThatAreNotUtf8AndExportToStandardOutput) {
    std::string session = ReadFileBytes(ZUTA_TEST_DATA_DIR "/files/session_v2.zuta");
    session.replace(session.find("Timer_HISR"), 5, "Tim\xe9r");
    std::ofstream(dir_ / "latin1.zuta", std::ios::binary) << session;
    for (const char* command : {"dump latin1.zuta", "table latin1.zuta --json"}) {
        const Result r = Run(command);
        ASSERT_EQ(r.exitCode, 0) << command << ": " << r.err;
        EXPECT_NE(r.out.find("Tim\xef\xbf\xbdr_HISR"), std::string::npos) << command;
        EXPECT_TRUE(nlohmann::json::accept(r.out)) << command;
    }
    const Result exported = Run("export -q '" + kCapture + "' -o -");
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_EQ(exported.out.rfind("TaskName;TaskID;", 0), 0u);
    EXPECT_NE(exported.out.find("CommPM_L"), std::string::npos);
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
