// `zuta calls` on a small session: nested calls, an exit with no call open, a call across task
// switches whose positions pass 32 bits, and enters that nothing closes.
#include "support/TempFolder.h"

#include <array>
#include <cstdio>
#include <gtest/gtest.h>
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
    const Result r = Calls(dir, ZUTA_TEST_DATA_DIR "/tools/calls-none.zuta");
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "{\n  \"maxDepth\": 0,\n  \"divisor\": 208.0,\n  \"calls\": []\n}\n");
}

} // namespace
