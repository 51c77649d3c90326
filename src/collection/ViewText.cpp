#include "collection/ViewText.h"

#include "host/TextNumbers.h"
#include "settings/PerformanceSettings.h"

namespace zuta {

namespace {

using text::FormatFixed;
using text::FormatUnsigned;

std::string ZeroPadded(unsigned value, std::size_t width) {
    std::string digits = FormatUnsigned(value);
    if (digits.size() < width)
        digits.insert(0, width - digits.size(), '0');
    return digits;
}

} // namespace

std::string FormatModuleVersion(unsigned major, unsigned minor, unsigned patch, unsigned tweak) {
    return ZeroPadded(major, 3) + "." + ZeroPadded(minor, 2) + "." + ZeroPadded(patch, 2) + "." +
           ZeroPadded(tweak, 2);
}

std::string FormatSamplingDuration(std::uint32_t seconds) {
    return FormatUnsigned(seconds / 60) + ":" + FormatUnsigned(seconds % 60);
}

std::string FormatTickDuration(std::uint64_t ticks, double clockMhz) {
    if (clockMhz == 0.0) {
        // All 64 bits: a long collection at a high clock passes 2^32 ticks within seconds.
        return FormatUnsigned(ticks) + " HCLK";
    }
    const std::uint64_t millions = ticks / 1000000;
    if (millions == 0)
        return FormatFixed(static_cast<double>(ticks) / clockMhz, 2) + " uSec";
    return FormatFixed(static_cast<double>(millions) / clockMhz, 4) + " sec";
}

std::string LoadedDurationText(std::uint64_t ticks, const PerformanceSettings& settings) {
    const double clock =
        settings.externalTsMode ? 10000.0 : static_cast<double>(settings.armClockMhz);
    return FormatTickDuration(ticks, clock);
}

std::string SessionNameFromPath(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (const std::size_t dot = name.find('.'); dot != std::string_view::npos)
        name = name.substr(0, dot);
    return std::string(name);
}

} // namespace zuta
