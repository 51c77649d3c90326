#include "settings/PerformanceSettings.h"

#include "host/SettingsStore.h"
#include "host/TextNumbers.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string_view>
#include <system_error>

namespace zuta {

namespace {

constexpr std::string_view kCpuType = "CPU type";
constexpr std::string_view kDumpPath = "VTune Exe Path";
constexpr std::string_view kMaskEvent = "Mask Event";
constexpr std::string_view kLastOpenFile = "Last Open File";
constexpr std::string_view kIdleTaskName = "Idle Task Name";
constexpr std::string_view kStatisticsData = "Statistics Data";
constexpr std::string_view kShowInactiveTasks = "Display non active tasks";
constexpr std::string_view kApdcLowAddress = "APDC low Address";
constexpr std::string_view kApdcHighAddress = "APDC Hi Address";
constexpr std::string_view kPercentView = "Percent View";
constexpr std::string_view kDiagPort = "USB Port num";
constexpr std::string_view kTlnPort = "TLN Port num";
constexpr std::string_view kArmClockMhz = "Clock Rate Delimiter";
constexpr std::string_view kSimpleMode = "simple Mode";
constexpr std::string_view kExternalTsMode = "external TS Mode";
constexpr std::string_view kThreshold = "Trash";

} // namespace

void PerformanceSettings::load(const host::ISettingsStore& store) {
    cpuType = store.ReadInt(kSection, kCpuType, 1);
    if (std::string text = store.ReadString(kSection, kDumpPath); !text.empty())
        dumpPath = std::move(text);
    maskEvent = store.ReadString(kSection, kMaskEvent);
    // Never stored: every load starts without it.
    ignoreIdleSamples = false;
    lastOpenFile = store.ReadString(kSection, kLastOpenFile);
    if (std::string text = store.ReadString(kSection, kIdleTaskName); !text.empty())
        idleTaskName = std::move(text);
    statisticsData = store.ReadInt(kSection, kStatisticsData, 0) != 0;
    showInactiveTasks = store.ReadInt(kSection, kShowInactiveTasks, 0) != 0;
    apdcLowAddress = store.ReadInt(kSection, kApdcLowAddress, 0xD0800000u);
    apdcHighAddress = store.ReadInt(kSection, kApdcHighAddress, 0xD0FFFFFFu);
    percentView = store.ReadInt(kSection, kPercentView, 0) != 0;
    diagPort = store.ReadInt(kSection, kDiagPort, 0);
    tlnPort = store.ReadInt(kSection, kTlnPort, 1);
    armClockMhz = ClockFromText(store.ReadString(kSection, kArmClockMhz));
    simpleMode = store.ReadInt(kSection, kSimpleMode, 0) != 0;
    externalTsMode = store.ReadInt(kSection, kExternalTsMode, 0) != 0;
    threshold = store.ReadInt(kSection, kThreshold, 2000);

    // Dump files go here later; a failure shows when they are written.
    if (!dumpPath.empty()) {
        std::error_code ec;
        std::filesystem::create_directory(dumpPath, ec);
    }
}

bool PerformanceSettings::save(host::ISettingsStore& store) const {
    store.WriteInt(kSection, kCpuType, cpuType);
    store.WriteString(kSection, kDumpPath, dumpPath);
    store.WriteString(kSection, kMaskEvent, maskEvent);
    store.WriteString(kSection, kIdleTaskName, idleTaskName);
    store.WriteInt(kSection, kStatisticsData, statisticsData ? 1 : 0);
    store.WriteInt(kSection, kShowInactiveTasks, showInactiveTasks ? 1 : 0);
    store.WriteInt(kSection, kApdcLowAddress, apdcLowAddress);
    store.WriteInt(kSection, kApdcHighAddress, apdcHighAddress);
    store.WriteInt(kSection, kPercentView, percentView ? 1 : 0);
    store.WriteInt(kSection, kDiagPort, diagPort);
    store.WriteInt(kSection, kTlnPort, tlnPort);
    store.WriteString(kSection, kArmClockMhz, text::FormatFixed(armClockMhz, 6));
    store.WriteInt(kSection, kSimpleMode, simpleMode ? 1 : 0);
    store.WriteInt(kSection, kExternalTsMode, externalTsMode ? 1 : 0);
    store.WriteString(kSection, kLastOpenFile, lastOpenFile);
    store.WriteInt(kSection, kThreshold, threshold);
    return store.Commit();
}

std::string PerformanceSettings::DefaultDumpPath() {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0')
        return "./ZUTAData";
    return (std::filesystem::path(home) / "ZUTAData").string();
}

float PerformanceSettings::ClockFromText(std::string_view text) {
    const double clock = text::LeadingDouble(text);
    return IsKnownClock(clock) ? static_cast<float>(clock) : 0.0f;
}

bool PerformanceSettings::IsKnownClock(double clockMhz) {
    return clockMhz > 0.0 && clockMhz <= std::numeric_limits<float>::max();
}

std::int64_t PerformanceSettings::WholeClockMhz(bool externalTsMode, float armClockMhz) {
    double clock = externalTsMode ? 10000.0 : static_cast<double>(armClockMhz);
    if (clock == 0.0 || std::isnan(clock))
        clock = 1.0;
    // Out of range of the integer: the nearest end rather than an undefined conversion.
    constexpr double kLimit = 9.2e18;
    if (clock >= kLimit)
        return std::numeric_limits<std::int64_t>::max();
    if (clock <= -kLimit)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(clock);
}

} // namespace zuta
