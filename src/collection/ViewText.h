#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zuta {

struct PerformanceSettings;

// The texts of the view's session details and titles.

// "%03d.%02d.%02d.%02d", most significant part first.
std::string FormatModuleVersion(unsigned major, unsigned minor, unsigned patch, unsigned tweak);
// "%d:%d" minutes and seconds, no zero padding.
std::string FormatSamplingDuration(std::uint32_t seconds);
// The length of a loaded collection from its total ticks: "%llu HCLK" for a clock of 0,
// "%.2f uSec" below a million ticks, else "%.4f sec" of the whole millions divided by the clock.
std::string FormatTickDuration(std::uint64_t ticks, double clockMhz);
// FormatTickDuration with the clock of the settings: 10000 MHz in external time stamp mode.
std::string LoadedDurationText(std::uint64_t ticks, const PerformanceSettings& settings);
// The file name of a path without its folder (either separator) and without anything from its
// first ".".
std::string SessionNameFromPath(std::string_view path);

} // namespace zuta
