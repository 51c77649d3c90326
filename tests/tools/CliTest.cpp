#include "support/TempFolder.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

using zuta::test::ReadFileBytes;
using zuta::test::TempFolder;

struct Result {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class Cli : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir_.path().empty()); }

    // Runs zuta with its own settings file in the test folder.
    Result Run(const std::string& args) {
        const std::string errPath = dir_ / "stderr.txt";
        const std::string command = "cd '" + dir_.path().string() + "' && '" ZUTA_CLI "' " + args +
                                    " --settings '" + (dir_ / "settings.ini") + "' 2>'" + errPath +
                                    "'";
        Result r;
        if (FILE* pipe = ::popen(command.c_str(), "r")) {
            std::array<char, 4096> buffer;
            std::size_t n;
            while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
                r.out.append(buffer.data(), n);
            const int status = ::pclose(pipe);
            r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        r.err = ReadFileBytes(errPath);
        return r;
    }
    TempFolder dir_{"zuta-cli"};
};

const std::string kCapture = ZUTA_EXAMPLES_DIR "/modem-full.zcap";

TEST_F(Cli, ReplayOfTheExampleCapturePrintsTheExpectedTable) {
    const Result r = Run("replay -q '" + kCapture + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, ReadFileBytes(ZUTA_TEST_DATA_DIR "/tools/modem-full.table.txt"));
}

TEST_F(Cli, DumpHasEveryStoreField) {
    const Result r = Run("dump -q '" + kCapture + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto json = nlohmann::json::parse(r.out);
    for (const char* key : {"tasks", "samples", "pendingEvents", "switchCount", "userEventCount",
                            "functionEventCount", "sumValue0", "sumValue1", "sumValue2", "sumTicks",
                            "cpuLoad", "samplingDuration", "idleTaskId", "probeWords", "tcbBlock",
                            "extraWords", "notifications", "rawText", "functionNames"})
        EXPECT_TRUE(json.contains(key)) << key;
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

TEST_F(Cli, FailuresGiveOneLineAndANonZeroExit) {
    struct Case {
        std::string args;
        std::string message;
    };
    std::ofstream(dir_ / "bad.zuta") << "DCRaw , 4 , 1\n";
    std::ofstream(dir_ / "bad.zcap") << "NOTACAPT";
    const Case cases[] = {
        {"table bad.zuta", "Unsupported ZUTA file version"},
        {"replay bad.zcap", "not a ZUTA capture"},
        {"dump notes.txt", "notes.txt"},
    };
    std::ofstream(dir_ / "notes.txt") << "x";
    for (const Case& c : cases) {
        const Result r = Run(c.args);
        EXPECT_NE(r.exitCode, 0) << c.args;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.args << ": " << r.err;
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
