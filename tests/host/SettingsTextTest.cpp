#include "host/SettingsText.h"

#include <gtest/gtest.h>
#include <optional>

namespace zuta::host {
namespace {

TEST(SettingsText, ParsesIntegers) {
    struct Case {
        const char* text;
        std::optional<std::uint32_t> value;
    };
    const Case cases[] = {
        {"0", 0u},
        {"42", 42u},
        {" 7\t", 7u},
        {"+5", 5u},
        {"-1", 0xFFFFFFFFu},
        {"-2147483648", 0x80000000u},
        {"4294967295", 0xFFFFFFFFu},
        {"4294967296", 0u},
        {"99999999999", 1215752191u},
        {"0x1F", 31u},
        {"0XdeadBEEF", 0xDEADBEEFu},
        {"-0x10", 0xFFFFFFF0u},
        {"0x123456789", 0x23456789u},
        {"007", 7u},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"-", std::nullopt},
        {"0x", std::nullopt},
        {"12abc", std::nullopt},
        {"1 2", std::nullopt},
        {"abc", std::nullopt},
        {"0x1G", std::nullopt},
        {"--1", std::nullopt},
        {"3.5", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseSettingsInt(c.text), c.value) << '"' << c.text << '"';
}

TEST(SettingsText, FormattedIntegersReadBack) {
    for (const std::uint32_t value : {0u, 1u, 255u, 0xD0800000u, 0xFFFFFFFFu})
        EXPECT_EQ(ParseSettingsInt(FormatSettingsInt(value)), value);
}

} // namespace
} // namespace zuta::host
