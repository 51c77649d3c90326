#include "host/IniSettingsStore.h"
#include "host/MemorySettingsStore.h"
#include "settings/PerformanceSettings.h"
#include "settings/SettingsForm.h"
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
    const char* oldHome = std::getenv("HOME");
    const std::optional<std::string> kept =
        oldHome ? std::optional(std::string(oldHome)) : std::nullopt;
    ::setenv("HOME", home.path().c_str(), 1);
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
    if (kept)
        ::setenv("HOME", kept->c_str(), 1);
}

// Through a real file, and under a locale with a decimal comma, every field reads back as written.
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
    const std::string locale = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    {
        host::IniSettingsStore store(path);
        EXPECT_TRUE(s.save(store));
    }
    const host::IniSettingsStore store(path);
    PerformanceSettings back;
    back.load(store);
    std::setlocale(LC_NUMERIC, locale.c_str());
    EXPECT_EQ(store.ReadString(kSection, "Clock Rate Delimiter"), "312.123444");
    EXPECT_EQ(Saved(back), Saved(s));
    EXPECT_TRUE(std::filesystem::is_directory(back.dumpPath));
    EXPECT_FALSE(back.ignoreIdleSamples);
    EXPECT_FLOAT_EQ(back.armClockMhz, 312.123444f);
}

// Empty texts keep the named defaults; the dump folder is made only when its parent exists. The
// clock is the leading decimal number of its text; a negative one, or one beyond the float range,
// is unknown (0.0) like a text without a number.
TEST(PerformanceSettings, StoredTextsAndTheDumpFolder) {
    TempFolder dir;
    MemorySettingsStore store;
    store.WriteString(kSection, "Idle Task Name", "");
    store.WriteString(kSection, "VTune Exe Path", "");
    store.WriteString(kSection, "Mask Event", "");
    store.WriteString(kSection, "USB Port num", "7");
    PerformanceSettings s;
    s.dumpPath = dir / "dump";
    s.maskEvent = "before";
    s.load(store);
    EXPECT_EQ(s.idleTaskName, "CommPM_L");
    EXPECT_EQ(s.dumpPath, dir / "dump");
    EXPECT_EQ(s.maskEvent, "");
    EXPECT_EQ(s.diagPort, 7u);

    store.WriteString(kSection, "VTune Exe Path", dir / "missing/dump");
    s.load(store);
    EXPECT_EQ(s.dumpPath, dir / "missing/dump");
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
    std::filesystem::create_directory(dir / "existing");
    store.WriteString(kSection, "VTune Exe Path", dir / "existing/dump");
    s.load(store);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "existing/dump"));

    const std::pair<const char*, float> clocks[] = {
        {"", 0.0f}, {"-5", 0.0f}, {"1e40", 0.0f}, {"208.000000", 208.0f}, {"3,5", 3.0f}};
    for (const auto& [text, clock] : clocks) {
        store.WriteString(kSection, "Clock Rate Delimiter", text);
        s.load(store);
        EXPECT_EQ(s.armClockMhz, clock) << '"' << text << '"';
    }
}

struct AddressCase {
    const char* text;
    std::uint32_t low;                 // as the low address edit reads it
    std::optional<std::uint32_t> high; // as the high address edit reads it; nothing: refused
};

// The low edit insists on a leading "0x" and gives 0 otherwise; the high edit takes hexadecimal
// with or without it and refuses a text without a number.
TEST(SettingsForm, AddressTexts) {
    const AddressCase cases[] = {
        {"0xd0800000", 0xD0800000u, 0xD0800000u},
        {"d0800000", 0, 0xD0800000u},
        {"0xD0FFFFFF", 0xD0FFFFFFu, 0xD0FFFFFFu},
        {"0XD0FFFFFF", 0, 0xD0FFFFFFu},
        {" 0x10", 0, 0x10u},
        {"0x 10", 0x10u, 0u},
        {"0x12zz", 0x12u, 0x12u},
        {"0x123456789", 0x23456789u, 0x23456789u},
        {"0x-1", 0xFFFFFFFFu, 0u},
        {"0x", 0, 0u},
        {"", 0, std::nullopt},
        {"zz", 0, std::nullopt},
        {"-", 0, std::nullopt},
    };
    for (const AddressCase& c : cases) {
        EXPECT_EQ(SettingsForm::ParseLowAddress(c.text), c.low) << c.text;
        EXPECT_EQ(SettingsForm::ParseHighAddress(c.text), c.high) << c.text;
    }
    EXPECT_EQ(SettingsForm::FormatAddress(0xD0800000u), "0xd0800000");
}

// Ports beyond the list show no selection, and no selection keeps the stored port. A high address
// without a number is refused: the record keeps its value and the field gets it back, where the old
// reading took the low address instead. External time stamps bring simple mode along; leaving
// simple mode drops them.
TEST(SettingsForm, KeptValuesAndModeChoices) {
    PerformanceSettings settings;
    settings.diagPort = 31;
    settings.apdcHighAddress = 0xD0FFFFFFu;
    SettingsForm form(settings);
    EXPECT_EQ(form.diagPort, SettingsForm::kNoPort);
    form.lowAddress = "0x1000";
    form.highAddress = "top";
    const auto rejections = form.Rejections(settings);
    ASSERT_EQ(rejections.size(), 1u);
    EXPECT_EQ(rejections[0].keptText, "0xd0ffffff");
    form.ApplyTo(settings);
    EXPECT_EQ(settings.diagPort, 31u);
    EXPECT_EQ(settings.apdcLowAddress, 0x1000u);
    EXPECT_EQ(settings.apdcHighAddress, 0xD0FFFFFFu);

    form = SettingsForm();
    form.ClickExternalTs(true);
    EXPECT_TRUE(form.externalTsMode && form.simpleMode);
    form.ClickSimpleMode(true);
    EXPECT_TRUE(form.simpleMode);
    EXPECT_FALSE(form.externalTsMode);
    form.ClickExternalTs(true);
    form.ClickExternalTs(false);
    EXPECT_FALSE(form.externalTsMode || form.simpleMode);
}

} // namespace
} // namespace zuta
