#include "host/TextNumbers.h"

#include "host/SettingsText.h"

#include <clocale>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <string>

namespace zuta::text {
namespace {

TEST(TextNumbers, ScansReadAsPercentDAndPercentX) {
    constexpr std::int64_t kNone = -1; // no field: the value stays
    struct Case {
        char conversion; // 'd' or 'x'
        const char* text;
        std::size_t pos;
        std::int64_t value;
        std::size_t end;
    };
    // Numbers are cut to 32 bits; "0x0x3" is the prefix, then "0" and no more digits; "0xg" has
    // no digit after "0x", so the "0" alone is read.
    const Case cases[] = {
        {'d', "+4", 0, 4, 2},    {'d', "  ", 0, kNone, 0},   {'x', "0X3eb", 0, 0x3eb, 5},
        {'d', "42", 0, 42, 2},   {'d', "12", 5, kNone, 0},   {'d', "  \t\r\n7,", 0, 7, 6},
        {'d', "007", 0, 7, 3},   {'d', "- 1", 0, kNone, 0},  {'d', "x , 12abc", 3, 12, 6},
        {'x', "0xg", 0, 0, 1},   {'d', "--1", 0, kNone, 0},  {'d', "-1", 0, 0xFFFFFFFF, 2},
        {'d', "", 0, kNone, 0},  {'d', "abc", 0, kNone, 0},  {'d', "4294967301", 0, 5, 10},
        {'x', "", 0, kNone, 0},  {'x', "3EB", 0, 0x3eb, 3},  {'x', " -0x10", 0, 0xFFFFFFF0, 6},
        {'x', "0x0x3", 0, 0, 3}, {'x', "3eb,", 0, 0x3eb, 3}, {'x', "123456789", 0, 0x23456789, 9},
        {'x', "g", 0, kNone, 0}, {'x', "0x3eb", 0, 0x3eb, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(1, c.conversion) + " \"" + c.text + '"');
        std::uint32_t value = 77;
        const std::size_t end = (c.conversion == 'x' ? ScanHex : ScanDecimal)(c.text, c.pos, value);
        EXPECT_EQ(end, c.value == kNone ? kNoField : c.end);
        EXPECT_EQ(value, c.value == kNone ? 77u : static_cast<std::uint32_t>(c.value));
    }
}

// A settings integer is the whole text: blanks around it, a sign, "0x"; nothing else.
TEST(TextNumbers, SettingsIntegersAreTheWholeText) {
    const std::optional<std::uint32_t> no;
    const struct {
        const char* text;
        std::optional<std::uint32_t> value;
    } cases[] = {{"", no},   {"   ", no}, {" 7\t", 7u},      {"-1", 0xFFFFFFFFu},
                 {"-", no},  {"1 2", no}, {"0x1G", no},      {"-0x10", 0xFFFFFFF0u},
                 {"+5", 5u}, {"--1", no}, {"12abc", no},     {"0XdeadBEEF", 0xDEADBEEFu},
                 {"0x", no}, {"3.5", no}, {"4294967296", 0u}};
    for (const auto& c : cases)
        EXPECT_EQ(host::ParseSettingsInt(c.text), c.value) << '"' << c.text << '"';
}

TEST(TextNumbers, LeadingDoubleReadsDecimalTextOnly) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* text;
        double value;
    } cases[] = {{"", 0.0},        {".", 0.0},       {".5", 0.5},           {"-5", -5.0},
                 {"3,5", 3.0},     {"+-1", 0.0},     {"nan", 0.0},          {"inf", 0.0},
                 {"+13", 13.0},    {"-.e1", 0.0},    {"0x10", 0.0},         {"208", 208.0},
                 {"1e999", inf},   {"1e40", 1e40},   {"1e3", 1000.0},       {"1e-999", 0.0},
                 {"MHz 208", 0.0}, {"-1e999", -inf}, {"200.000000", 200.0}, {"  104.5 MHz", 104.5}};
    for (const auto& c : cases)
        EXPECT_EQ(LeadingDouble(c.text), c.value) << '"' << c.text << '"';
}

TEST(TextNumbers, FormatsAsPrintfInTheCLocale) {
    // A locale with a decimal comma must not reach the text.
    const std::string old = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    const struct {
        double value;
        int decimals;
        const char* text;
    } fixed[] = {{200.0, 6, "200.000000"},
                 {static_cast<float>(208.7), 6, "208.699997"},
                 // 0.075f lies above the tie; ties go to even, as printf rounds.
                 {0.075f, 2, "0.08"},
                 {0.125, 2, "0.12"},
                 {-1.5, 0, "-2"},
                 {1e20, 1, "100000000000000000000.0"},
                 {std::numeric_limits<double>::infinity(), 2, "inf"}};
    for (const auto& c : fixed)
        EXPECT_EQ(FormatFixed(c.value, c.decimals), c.text) << c.value;
    std::setlocale(LC_NUMERIC, old.c_str());
}

} // namespace
} // namespace zuta::text
