// Feeds arbitrary text to the settings dialog's fields (both addresses and the clock): reading
// must keep the "0x" rule of the low address, refuse exactly the high texts without a number,
// and what OK writes must show and read back unchanged.
#include "settings/SettingsForm.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using zuta::SettingsForm;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const std::uint32_t low = SettingsForm::ParseLowAddress(text);
    Check(low == 0 || text.starts_with("0x"));
    const std::optional<std::uint32_t> high = SettingsForm::ParseHighAddress(text);
    if (high)
        Check(SettingsForm::ParseHighAddress(SettingsForm::FormatAddress(*high)) == high);

    zuta::PerformanceSettings settings;
    settings.apdcHighAddress = 0x1234u;
    SettingsForm form(settings);
    form.lowAddress = text;
    form.highAddress = text;
    form.clock = text;
    form.idleTaskName = text;
    Check(form.Rejections(settings).empty() == high.has_value());
    form.ApplyTo(settings);
    Check(settings.apdcLowAddress == low);
    Check(settings.apdcHighAddress == high.value_or(0x1234u));
    Check(std::isfinite(settings.armClockMhz) && settings.armClockMhz >= 0.0f);

    // The fields of the record just written give it back.
    const SettingsForm shown(settings);
    Check(shown.Rejections(settings).empty());
    zuta::PerformanceSettings again = settings;
    shown.ApplyTo(again);
    Check(again.apdcLowAddress == settings.apdcLowAddress);
    Check(again.apdcHighAddress == settings.apdcHighAddress);
    Check(again.idleTaskName == settings.idleTaskName);
    return 0;
}
