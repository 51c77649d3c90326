#include "settings/SettingsForm.h"

#include "host/TextNumbers.h"

namespace zuta {

namespace {

int PortIndex(std::uint32_t port) {
    return port < static_cast<std::uint32_t>(SettingsForm::kPortCount) ? static_cast<int>(port)
                                                                       : SettingsForm::kNoPort;
}

void ApplyPort(int index, std::uint32_t& port) {
    if (index >= 0 && index < SettingsForm::kPortCount)
        port = static_cast<std::uint32_t>(index);
}

} // namespace

SettingsForm::SettingsForm(const PerformanceSettings& settings)
    : cpuType(settings.cpuType), dumpPath(settings.dumpPath),
      lowAddress(FormatAddress(settings.apdcLowAddress)),
      highAddress(FormatAddress(settings.apdcHighAddress)),
      clock(text::FormatFixed(settings.armClockMhz, 6)), idleTaskName(settings.idleTaskName),
      ignoreIdleSamples(settings.ignoreIdleSamples), statisticsData(settings.statisticsData),
      showInactiveTasks(settings.showInactiveTasks), percentView(settings.percentView),
      simpleMode(settings.simpleMode), externalTsMode(settings.externalTsMode),
      diagPort(PortIndex(settings.diagPort)), tlnPort(PortIndex(settings.tlnPort)) {}

std::vector<std::string> SettingsForm::PortTexts() {
    std::vector<std::string> texts;
    texts.reserve(kPortCount);
    for (int port = 1; port <= kPortCount; ++port)
        texts.push_back(text::FormatUnsigned(static_cast<std::uint64_t>(port)));
    return texts;
}

std::vector<SettingsForm::Rejection>
SettingsForm::Rejections(const PerformanceSettings& settings) const {
    std::vector<Rejection> rejections;
    if (!ParseHighAddress(highAddress))
        rejections.push_back(
            {kHighAddressField, highAddress, FormatAddress(settings.apdcHighAddress)});
    return rejections;
}

void SettingsForm::Restore(const Rejection& rejection) {
    if (rejection.field == kHighAddressField)
        highAddress = rejection.keptText;
}

void SettingsForm::ApplyTo(PerformanceSettings& settings) const {
    settings.dumpPath = dumpPath;
    settings.statisticsData = statisticsData;
    settings.apdcLowAddress = ParseLowAddress(lowAddress);
    settings.apdcHighAddress = ParseHighAddress(highAddress).value_or(settings.apdcHighAddress);
    settings.ignoreIdleSamples = ignoreIdleSamples;
    settings.showInactiveTasks = showInactiveTasks;
    settings.percentView = percentView;
    settings.simpleMode = simpleMode;
    ApplyPort(tlnPort, settings.tlnPort);
    ApplyPort(diagPort, settings.diagPort);
    settings.armClockMhz = PerformanceSettings::ClockFromText(clock);
    settings.externalTsMode = externalTsMode;
    settings.idleTaskName = idleTaskName;
}

std::string SettingsForm::FormatAddress(std::uint32_t address) {
    char digits[text::kMaxIntText];
    return "0x" + std::string(digits, text::PutHex(digits, address));
}

std::uint32_t SettingsForm::ParseLowAddress(std::string_view text) {
    std::uint32_t address = 0;
    if (text.starts_with("0x"))
        text::ScanHex(text, 2, address);
    return address;
}

std::optional<std::uint32_t> SettingsForm::ParseHighAddress(std::string_view text) {
    std::uint32_t address = 0;
    if (text::ScanHex(text, 0, address) == text::kNoField)
        return std::nullopt;
    return address;
}

} // namespace zuta
