#include "collection/ViewState.h"

#include "collection/ViewText.h"
#include "settings/PerformanceSettings.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace zuta {
namespace {

// canStart, collecting, canShowGraphs, canShowFunctionGraph, canSave, canLoad, canRunVtune, then
// whether Stop is enabled and whether the data came from a raw log.
std::string Describe(const ViewState& s) {
    const ViewFlags& f = s.flags();
    std::string text;
    for (bool b : {f.canStart, f.collecting, f.canShowGraphs, f.canShowFunctionGraph, f.canSave,
                   f.canLoad, f.canRunVtune})
        text += b ? '1' : '0';
    text += ' ';
    for (bool b : {s.IsEnabled(EnableRule::CanStop), s.fromRawLog()})
        text += b ? '1' : '0';
    return text;
}

using Step = std::function<void(ViewState&)>;

const Step kOpened = [](ViewState& s) { s.DataOpened(false); };
const Step kImported = [](ViewState& s) { s.DataOpened(true); };
const Step kConnect = [](ViewState& s) { s.BeginConnecting(); };
const Step kConnectFailed = [](ViewState& s) { s.ConnectFailed(); };
const Step kStarted = [](ViewState& s) { s.Started(); };
const Step kStopRequested = [](ViewState& s) { s.StopRequested(); };
const Step kStopped = [](ViewState& s) { s.Stopped(); };
const Step kVtune = [](ViewState& s) { s.VtuneFileCreated(); };

// Every case starts from the initial state.
TEST(ViewState, EventsGiveTheFlagsOfTheStateTable) {
    struct Case {
        const char* name;
        std::vector<Step> steps;
        const char* flags;
        ViewPhase phase;
    };
    const Case cases[] = {
        {"initial, no file", {}, "1000010 00", ViewPhase::Idle},
        {"initial, file", {kOpened}, "1011010 00", ViewPhase::Idle},
        {"raw log imported", {kImported}, "1011010 01", ViewPhase::Idle},
        {"collecting after an import", {kImported, kStarted}, "0110000 10", ViewPhase::Collecting},
        {"stopping", {kStarted, kStopRequested}, "0010000 00", ViewPhase::Stopping},
        {"stopped", {kStarted, kStopRequested, kStopped}, "1011110 00", ViewPhase::Idle},
        {"connecting", {kOpened, kConnect}, "0011000 10", ViewPhase::Connecting},
        {"connect failed",
         {kOpened, kStarted, kStopRequested, kStopped, kConnect, kConnectFailed},
         "1011110 00",
         ViewPhase::Idle},
        {"connected", {kOpened, kConnect, kStarted}, "0110000 10", ViewPhase::Collecting},
        {"second start ignored", {kStarted, kStarted}, "0110000 10", ViewPhase::Collecting},
        {"connect while collecting", {kStarted, kConnect}, "0110000 10", ViewPhase::Collecting},
        {"vtune file", {kStarted, kVtune}, "1110001 10", ViewPhase::Collecting},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ViewState state;
        state.Initialise();
        for (const Step& step : c.steps)
            step(state);
        EXPECT_EQ(Describe(state), c.flags);
        EXPECT_EQ(state.phase(), c.phase);
    }
}

TEST(ViewText, DurationsVersionsAndNames) {
    EXPECT_EQ(FormatSamplingDuration(65), "1:5");
    EXPECT_EQ(FormatSamplingDuration(3), "0:3");
    EXPECT_EQ(FormatSamplingDuration(0xFFFFFFFFu), "71582788:15");
    EXPECT_EQ(FormatModuleVersion(1, 12, 3, 45), "001.12.03.45");

    struct Duration {
        std::uint64_t ticks;
        double clock;
        const char* text;
    };
    const Duration durations[] = {
        {123, 0.0, "123 HCLK"},
        {1ull << 40, 0.0, "1099511627776 HCLK"},
        {~0ull, 0.0, "18446744073709551615 HCLK"},
        {999999, 10000.0, "100.00 uSec"},
        {1000000, 200.0, "0.0050 sec"},
        {3000000000ull, 200.0, "15.0000 sec"},
    };
    for (const Duration& d : durations)
        EXPECT_EQ(FormatTickDuration(d.ticks, d.clock), d.text) << d.ticks << " @ " << d.clock;

    PerformanceSettings settings;
    settings.externalTsMode = true;
    settings.armClockMhz = 0.0f;
    EXPECT_EQ(LoadedDurationText(20000000, settings), "0.0020 sec");

    EXPECT_EQ(SessionNameFromPath("D:\\runs\\a.b.zuta"), "a");
    EXPECT_EQ(SessionNameFromPath("/home/u/run.1.zuta"), "run");
    EXPECT_EQ(SessionNameFromPath("/tmp/.hidden.zuta"), "");
    EXPECT_EQ(SessionNameFromPath("plain"), "plain");
}

} // namespace
} // namespace zuta
