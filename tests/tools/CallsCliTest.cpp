// `zuta calls` on a small session: nested calls, an exit with no call open, a call across task
// switches whose positions pass 32 bits, and enters that nothing closes.
#include "support/CliRun.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using zuta::test::CliResult;
using zuta::test::ReadFileBytes;
using zuta::test::TempFolder;

const std::string kInput = ZUTA_TEST_DATA_DIR "/tools/calls-small.zuta";

CliResult Calls(const TempFolder& dir, const std::string& input) {
    return zuta::test::RunCli(ZUTA_CLI, dir, "calls '" + input + "' --json");
}

TEST(CallsCli, ListsTheCallsOfASession) {
    TempFolder dir("zuta-calls");
    const CliResult r = Calls(dir, kInput);
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, ReadFileBytes(ZUTA_TEST_DATA_DIR "/tools/calls-small.calls.json"));
}

TEST(CallsCli, ASessionWithoutFunctionEventsHasNoCalls) {
    TempFolder dir("zuta-calls");
    const CliResult r = Calls(dir, ZUTA_TEST_DATA_DIR "/tools/calls-none.zuta");
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "{\n  \"maxDepth\": 0,\n  \"divisor\": 208.0,\n  \"calls\": []\n}\n");
}

} // namespace
