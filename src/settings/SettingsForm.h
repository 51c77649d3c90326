#pragma once

#include "settings/PerformanceSettings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zuta {

// The settings dialog without its widgets: the fields as the user sees and types them, the rules
// between the controls, and the way from the settings record into the fields and back.
struct SettingsForm {
    // The port lists offer "1" to "31"; a port is kept as its 0-based index in that list.
    static constexpr int kPortCount = 31;
    // A list entry not selected.
    static constexpr int kNoPort = -1;

    // Captions of the fields that the dialog can refuse.
    static constexpr std::string_view kHighAddressField = "Hight Address";

    // A field whose text could not be taken: the record keeps `kept`, shown as `keptText`.
    struct Rejection {
        std::string_view field;
        std::string text;
        std::string keptText;
    };

    SettingsForm() = default;
    explicit SettingsForm(const PerformanceSettings& settings);

    static std::vector<std::string> PortTexts();

    // The counter scheme of the target is fixed: the radio of the other scheme is greyed. A
    // scheme outside both leaves both radios free and unchecked.
    bool ArmApdcChecked() const { return cpuType == 1; }
    bool XScalePmuChecked() const { return cpuType == 0; }
    bool ArmApdcEnabled() const { return cpuType != 0; }
    bool XScalePmuEnabled() const { return cpuType != 1; }
    // Simple mode follows "External TS mode" and is never set on its own here.
    static constexpr bool kSimpleModeEnabled = false;

    void ClickArmApdc() { cpuType = 1; }
    void ClickXScalePmu() { cpuType = 0; }
    // External time stamps always come with simple mode; leaving simple mode leaves them too.
    void ClickSimpleMode(bool checked) {
        simpleMode = checked;
        externalTsMode = false;
    }
    void ClickExternalTs(bool checked) {
        externalTsMode = checked;
        simpleMode = checked;
    }

    // The fields that OK would refuse against the record as it is now; empty when all are taken.
    std::vector<Rejection> Rejections(const PerformanceSettings& settings) const;
    // Puts the field of a rejection back to the text of the kept value.
    void Restore(const Rejection& rejection);
    // Writes the fields into the record (not `cpuType`, which the radios write at once). A refused
    // field and a port list without a selection keep the record's value.
    void ApplyTo(PerformanceSettings& settings) const;

    // "0x%x" of an address, as the address edits show it.
    static std::string FormatAddress(std::uint32_t address);
    // The low address edit: the text must start with "0x", then a hexadecimal number follows;
    // anything else is 0.
    static std::uint32_t ParseLowAddress(std::string_view text);
    // The high address edit: a hexadecimal number with an optional "0x"; nothing without one.
    static std::optional<std::uint32_t> ParseHighAddress(std::string_view text);

    std::uint32_t cpuType = 1;
    std::string dumpPath;
    std::string lowAddress;
    std::string highAddress;
    std::string clock;
    std::string idleTaskName;
    bool ignoreIdleSamples = false;
    bool statisticsData = false;
    bool showInactiveTasks = false;
    bool percentView = false;
    bool simpleMode = false;
    bool externalTsMode = false;
    int diagPort = kNoPort;
    int tlnPort = kNoPort;
};

} // namespace zuta
