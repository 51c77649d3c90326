#include "settings/PerformanceSettings.h"

#include "host/IniSettingsStore.h"
#include "host/MemorySettingsStore.h"
#include "support/TempFolder.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>

namespace zuta {
namespace {

using host::MemorySettingsStore;
using test::TempFolder;

constexpr const char* kSection = PerformanceSettings::kSection;

// Points $HOME at a scratch folder for the life of the test, so default dump folders land there.
class ScopedHome {
public:
    explicit ScopedHome(const std::string& home) {
        if (const char* old = std::getenv("HOME"))
            old_ = old;
        ::setenv("HOME", home.c_str(), 1);
    }
    ~ScopedHome() {
        if (old_)
            ::setenv("HOME", old_->c_str(), 1);
        else
            ::unsetenv("HOME");
    }

private:
    std::optional<std::string> old_;
};

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries Saved(const PerformanceSettings& s) {
    MemorySettingsStore store;
    EXPECT_TRUE(s.save(store));
    return store.Entries(kSection);
}

// An empty store gives the load defaults (not those of a new object), with the dump folder made
// under $HOME; they are saved in the fixed key order.
TEST(PerformanceSettings, EmptyStoreGivesTheLoadDefaultsSavedInKeyOrder) {
    TempFolder home;
    const ScopedHome scoped(home.path().string());
    PerformanceSettings s;
    s.ignoreIdleSamples = true;
    s.load(MemorySettingsStore());
    EXPECT_FALSE(s.ignoreIdleSamples);
    EXPECT_TRUE(std::filesystem::is_directory(home / "ZUTAData"));
    const Entries expected = {
        {"CPU type", "1"},
        {"VTune Exe Path", home / "ZUTAData"},
        {"Mask Event", ""},
        {"Idle Task Name", "CommPM_L"},
        {"Statistics Data", "0"},
        {"Display non active tasks", "0"},
        {"APDC low Address", "3498049536"},
        {"APDC Hi Address", "3506438143"},
        {"Percent View", "0"},
        {"USB Port num", "0"},
        {"TLN Port num", "1"},
        {"Clock Rate Delimiter", "0.000000"},
        {"simple Mode", "0"},
        {"external TS Mode", "0"},
        {"Last Open File", ""},
        {"Trash", "2000"},
    };
    EXPECT_EQ(Saved(s), expected);

    MemorySettingsStore failing;
    failing.SetFailCommits(true);
    EXPECT_FALSE(s.save(failing));
    ::unsetenv("HOME");
    EXPECT_EQ(PerformanceSettings::DefaultDumpPath(), "./ZUTAData");
}

// A negative clock, or one beyond the float range, is unknown (0.0) like a text without a number.
TEST(PerformanceSettings, ClockIsTheLeadingDecimalNumber) {
    TempFolder dir;
    const struct {
        const char* text;
        float value;
    } cases[] = {{"", 0.0f}, {"-5", 0.0f}, {"1e40", 0.0f}, {"208.000000", 208.0f}, {"3,5", 3.0f}};
    for (const auto& c : cases) {
        MemorySettingsStore store;
        store.WriteString(kSection, "Clock Rate Delimiter", c.text);
        store.WriteString(kSection, "VTune Exe Path", dir / "dump");
        PerformanceSettings s;
        s.load(store);
        EXPECT_EQ(s.armClockMhz, c.value) << '"' << c.text << '"';
    }
}

TEST(PerformanceSettings, ClockTextIgnoresTheProcessLocale) {
    const std::string old = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "no locale with a decimal comma installed";
    MemorySettingsStore store;
    PerformanceSettings s;
    TempFolder dir;
    s.dumpPath = dir / "dump";
    s.armClockMhz = 104.25f;
    s.save(store);
    PerformanceSettings back;
    back.load(store);
    std::setlocale(LC_NUMERIC, old.c_str());
    EXPECT_EQ(store.ReadString(kSection, "Clock Rate Delimiter"), "104.250000");
    EXPECT_EQ(back.armClockMhz, 104.25f);
}

TEST(PerformanceSettings, RoundTripThroughAnIniFile) {
    TempFolder dir;
    const std::string path = dir / "cfg/settings.ini";
    PerformanceSettings s;
    s.cpuType = 0;
    s.dumpPath = dir / "dump with blanks ";
    s.maskEvent = "UE_3";
    s.idleTaskName = " Idle;Task ";
    s.ignoreIdleSamples = true;
    s.lastOpenFile = dir / "last \"run\".zuta";
    s.simpleMode = true;
    s.statisticsData = false;
    s.percentView = true;
    s.externalTsMode = true;
    s.apdcLowAddress = 0x10000000u;
    s.apdcHighAddress = 0xFFFFFFFFu;
    s.diagPort = 30;
    s.tlnPort = 4;
    s.threshold = 0;
    s.armClockMhz = 312.123456f;
    {
        host::IniSettingsStore store(path);
        ASSERT_TRUE(s.save(store));
    }
    const host::IniSettingsStore store(path);
    EXPECT_EQ(store.ReadString(kSection, "Clock Rate Delimiter"), "312.123444");
    PerformanceSettings back;
    back.load(store);
    EXPECT_EQ(Saved(back), Saved(s));
    EXPECT_TRUE(std::filesystem::is_directory(back.dumpPath));
    EXPECT_FALSE(back.ignoreIdleSamples);
    EXPECT_FLOAT_EQ(back.armClockMhz, 312.123444f);
}

// Empty texts keep the named defaults; the dump folder is made only when its parent exists.
TEST(PerformanceSettings, EmptyTextsAndTheDumpFolder) {
    TempFolder dir;
    MemorySettingsStore store;
    store.WriteString(kSection, "Idle Task Name", "");
    store.WriteString(kSection, "VTune Exe Path", "");
    store.WriteString(kSection, "Mask Event", "");
    PerformanceSettings s;
    s.dumpPath = dir / "dump";
    s.maskEvent = "before";
    s.load(store);
    EXPECT_EQ(s.idleTaskName, "CommPM_L");
    EXPECT_EQ(s.dumpPath, dir / "dump");
    EXPECT_EQ(s.maskEvent, "");

    store.WriteString(kSection, "VTune Exe Path", dir / "missing/dump");
    s.load(store);
    EXPECT_EQ(s.dumpPath, dir / "missing/dump");
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
    std::filesystem::create_directory(dir / "existing");
    store.WriteString(kSection, "VTune Exe Path", dir / "existing/dump");
    s.load(store);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "existing/dump"));
}

} // namespace
} // namespace zuta
