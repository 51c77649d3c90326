// `zuta calls` on a small session: nested calls, an exit with no call open, a call across task
// switches whose positions pass 32 bits, and enters that nothing closes.
#include "support/TempFolder.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace {

using zuta::test::ReadFileBytes;
using zuta::test::TempFolder;

const std::string kInput = ZUTA_TEST_DATA_DIR "/tools/calls-small.zuta";

struct Result {
    int exitCode = -1;
    std::string out;
};

Result Calls(const TempFolder& dir, const std::string& input) {
    const std::string command = "'" ZUTA_CLI "' calls '" + input + "' --json --settings '" +
                                (dir / "settings.ini") + "' 2>/dev/null";
    Result r;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 4096> buffer;
        std::size_t n;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
            r.out.append(buffer.data(), n);
        const int status = ::pclose(pipe);
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return r;
}

TEST(CallsCli, ListsTheCallsOfASession) {
    TempFolder dir("zuta-calls");
    const Result r = Calls(dir, kInput);
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, ReadFileBytes(ZUTA_TEST_DATA_DIR "/tools/calls-small.calls.json"));
}

TEST(CallsCli, ASessionWithoutFunctionEventsHasNoCalls) {
    TempFolder dir("zuta-calls");
    // The same session with its function events (kinds 4 and 5) left out.
    std::istringstream lines(ReadFileBytes(kInput));
    std::string kept;
    int events = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.find(", 4;") != std::string::npos || line.find(", 5;") != std::string::npos)
            continue;
        if (line.rfind("0x", 0) == 0 && line.find(';') != std::string::npos)
            ++events;
        kept += line + '\n';
    }
    const std::string count = "EventsCount= ";
    const std::size_t at = kept.find(count);
    ASSERT_NE(at, std::string::npos);
    kept.replace(at, kept.find('\n', at) - at, count + std::to_string(events));
    const auto path = dir / "no-calls.zuta";
    std::ofstream(path) << kept;

    const Result r = Calls(dir, path);
    ASSERT_EQ(r.exitCode, 0);
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["maxDepth"], 0);
    EXPECT_TRUE(json["calls"].empty());
}

} // namespace
