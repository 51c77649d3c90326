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

TEST(PerformanceSettings, DefaultDumpPathWithoutHome) {
    TempFolder home;
    ScopedHome scoped(home.path().string());
    ::unsetenv("HOME");
    EXPECT_EQ(PerformanceSettings::DefaultDumpPath(), "./ZUTAData");
}

TEST(PerformanceSettings, EmptyStoreLoadsTheLoadDefaults) {
    TempFolder home;
    const ScopedHome scoped(home.path().string());
    const MemorySettingsStore store;
    PerformanceSettings s;
    s.ignoreIdleSamples = true;
    s.load(store);
    EXPECT_EQ(s.cpuType, 1u);
    EXPECT_EQ(s.dumpPath, home / "ZUTAData");
    EXPECT_TRUE(std::filesystem::is_directory(s.dumpPath));
    EXPECT_EQ(s.idleTaskName, "CommPM_L");
    EXPECT_EQ(s.maskEvent, "");
    EXPECT_EQ(s.lastOpenFile, "");
    EXPECT_FALSE(s.statisticsData);
    EXPECT_FALSE(s.showInactiveTasks);
    EXPECT_FALSE(s.percentView);
    EXPECT_FALSE(s.simpleMode);
    EXPECT_FALSE(s.externalTsMode);
    EXPECT_FALSE(s.ignoreIdleSamples);
    EXPECT_EQ(s.apdcLowAddress, 0xD0800000u);
    EXPECT_EQ(s.apdcHighAddress, 0xD0FFFFFFu);
    EXPECT_EQ(s.diagPort, 0u);
    EXPECT_EQ(s.tlnPort, 1u);
    EXPECT_EQ(s.threshold, 2000u);
    EXPECT_EQ(s.armClockMhz, 0.0f);
}

TEST(PerformanceSettings, EmptyTextsKeepTheNamedDefaults) {
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
}

// A negative clock, or one beyond the float range, is unknown (0.0) like a text without a number.
TEST(PerformanceSettings, ClockIsTheLeadingDecimalNumber) {
    TempFolder dir;
    const struct {
        const char* text;
        float value;
    } cases[] = {
        {"208", 208.0f},   {"208.000000", 208.0f}, {"  104.5 MHz", 104.5f},
        {"1e3", 1000.0f},  {".5", 0.5f},           {"+13", 13.0f},
        {"-5", 0.0f},      {"3,5", 3.0f},          {"", 0.0f},
        {"MHz 208", 0.0f}, {",5", 0.0f},           {"nan", 0.0f},
        {"inf", 0.0f},     {"1e40", 0.0f},         {"1e999", 0.0f},
        {"0x10", 0.0f},
    };
    for (const auto& c : cases) {
        MemorySettingsStore store;
        store.WriteString(kSection, "Clock Rate Delimiter", c.text);
        store.WriteString(kSection, "VTune Exe Path", dir / "dump");
        PerformanceSettings s;
        s.load(store);
        EXPECT_EQ(s.armClockMhz, c.value) << '"' << c.text << '"';
    }
}

TEST(PerformanceSettings, SaveWritesEveryKeyInOrderAndCommits) {
    TempFolder dir;
    MemorySettingsStore store;
    PerformanceSettings s;
    s.dumpPath = dir / "dump";
    s.armClockMhz = 208.0f;
    s.ignoreIdleSamples = true;
    EXPECT_TRUE(s.save(store));
    EXPECT_EQ(store.commitCount(), 1u);
    EXPECT_EQ(store.Sections(), (std::vector<std::string>{"Performace Settings"}));
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"CPU type", "1"},
        {"VTune Exe Path", dir / "dump"},
        {"Mask Event", ""},
        {"Idle Task Name", "CommPM_L"},
        {"Statistics Data", "1"},
        {"Display non active tasks", "1"},
        {"APDC low Address", "3498049536"},
        {"APDC Hi Address", "3506438143"},
        {"Percent View", "0"},
        {"USB Port num", "0"},
        {"TLN Port num", "1"},
        {"Clock Rate Delimiter", "208.000000"},
        {"simple Mode", "0"},
        {"external TS Mode", "0"},
        {"Last Open File", ""},
        {"Trash", "2000"},
    };
    EXPECT_EQ(store.Entries(kSection), expected);

    store.SetFailCommits(true);
    EXPECT_FALSE(s.save(store));
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
    s.showInactiveTasks = true;
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
    EXPECT_EQ(back.cpuType, s.cpuType);
    EXPECT_EQ(back.dumpPath, s.dumpPath);
    EXPECT_TRUE(std::filesystem::is_directory(back.dumpPath));
    EXPECT_EQ(back.maskEvent, s.maskEvent);
    EXPECT_EQ(back.idleTaskName, s.idleTaskName);
    EXPECT_FALSE(back.ignoreIdleSamples);
    EXPECT_EQ(back.lastOpenFile, s.lastOpenFile);
    EXPECT_EQ(back.simpleMode, s.simpleMode);
    EXPECT_EQ(back.statisticsData, s.statisticsData);
    EXPECT_EQ(back.showInactiveTasks, s.showInactiveTasks);
    EXPECT_EQ(back.percentView, s.percentView);
    EXPECT_EQ(back.externalTsMode, s.externalTsMode);
    EXPECT_EQ(back.apdcLowAddress, s.apdcLowAddress);
    EXPECT_EQ(back.apdcHighAddress, s.apdcHighAddress);
    EXPECT_EQ(back.diagPort, s.diagPort);
    EXPECT_EQ(back.tlnPort, s.tlnPort);
    EXPECT_EQ(back.threshold, s.threshold);
    EXPECT_FLOAT_EQ(back.armClockMhz, 312.123444f);
    EXPECT_EQ(back.SamplingMode(), 3u);
}

TEST(PerformanceSettings, DumpFolderIsCreatedOneLevelOnly) {
    TempFolder dir;
    MemorySettingsStore store;
    store.WriteString(kSection, "VTune Exe Path", dir / "missing/dump");
    PerformanceSettings s;
    s.load(store);
    EXPECT_EQ(s.dumpPath, dir / "missing/dump");
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));

    std::filesystem::create_directory(dir / "existing");
    store.WriteString(kSection, "VTune Exe Path", dir / "existing");
    s.load(store);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "existing"));
}

} // namespace
} // namespace zuta
