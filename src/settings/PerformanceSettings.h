#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zuta::host {
class ISettingsStore;
}

namespace zuta {

// Every user choice of the module, kept in the settings section "Performace Settings".
struct PerformanceSettings {
    static constexpr const char* kSection = "Performace Settings";

    std::uint32_t cpuType = 1;
    std::string dumpPath = DefaultDumpPath();
    std::string maskEvent;
    std::string idleTaskName = "CommPM_L";
    bool ignoreIdleSamples = false;
    std::string lastOpenFile;
    bool simpleMode = false;
    bool statisticsData = true;
    bool showInactiveTasks = true;
    bool percentView = false;
    bool externalTsMode = false;
    std::uint32_t apdcLowAddress = 0xD0800000u;
    std::uint32_t apdcHighAddress = 0xD0FFFFFFu;
    std::uint32_t diagPort = 0;
    std::uint32_t tlnPort = 1;
    std::uint32_t threshold = 2000;
    float armClockMhz = 200.0f;

    // Reads every stored field (missing keys give the load defaults) and creates `dumpPath`.
    void load(const host::ISettingsStore& store);
    // Writes every stored field in the fixed key order and commits; false when the commit failed.
    bool save(host::ISettingsStore& store) const;

    // The core clock of the MIPS and MHz figures as a whole number of MHz: 10000 in external-TS
    // mode, else armClockMhz with its fraction cut; an unknown clock (0) counts as 1.
    static std::int64_t WholeClockMhz(bool externalTsMode, float armClockMhz);

    // A clock in MHz as the settings and session files keep it: the leading decimal number of the
    // text; 0.0 (unknown) when there is none, or when it is negative or beyond the float range.
    static float ClockFromText(std::string_view text);
    // True for a clock that counts: above 0 and within the float range.
    static bool IsKnownClock(double clockMhz);

    // 3 external time stamps, 2 simple, 0 normal.
    std::uint32_t SamplingMode() const { return externalTsMode ? 3u : simpleMode ? 2u : 0u; }

    // "$HOME/ZUTAData" (or "./ZUTAData" without a home folder).
    static std::string DefaultDumpPath();
};

} // namespace zuta
