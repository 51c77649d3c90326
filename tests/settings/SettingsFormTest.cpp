#include "settings/SettingsForm.h"

#include <gtest/gtest.h>
#include <optional>

namespace zuta {
namespace {

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

// A high address without a number is refused: the record keeps its value and the field gets it
// back, where the old reading took the low address instead.
TEST(SettingsForm, RefusedHighAddressKeepsThePreviousValue) {
    PerformanceSettings settings;
    settings.apdcHighAddress = 0xD0FFFFFFu;
    SettingsForm form(settings);
    form.lowAddress = "0x1000";
    form.highAddress = "top";
    const auto rejections = form.Rejections(settings);
    ASSERT_EQ(rejections.size(), 1u);
    EXPECT_EQ(rejections[0].keptText, "0xd0ffffff");
    form.ApplyTo(settings);
    EXPECT_EQ(settings.apdcLowAddress, 0x1000u);
    EXPECT_EQ(settings.apdcHighAddress, 0xD0FFFFFFu);
}

// Ports beyond the list show no selection, and no selection keeps the stored port.
TEST(SettingsForm, PortsOutsideTheListAreKept) {
    PerformanceSettings settings;
    settings.diagPort = 31;
    SettingsForm form(settings);
    EXPECT_EQ(form.diagPort, SettingsForm::kNoPort);
    form.ApplyTo(settings);
    EXPECT_EQ(settings.diagPort, 31u);
}

// External time stamps bring simple mode along; leaving simple mode drops them.
TEST(SettingsForm, ExternalTimeStampsImplySimpleMode) {
    SettingsForm form;
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
