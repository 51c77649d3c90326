#include "host/TextNumbers.h"

#include <clocale>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <string>

namespace zuta::text {
namespace {

using Scan = std::size_t (*)(std::string_view, std::size_t, std::uint32_t&);

TEST(TextNumbers, ScansReadAsPercentDAndPercentX) {
    struct Case {
        Scan scan;
        const char* text;
        std::size_t pos;
        std::optional<std::uint32_t> value; // none: no field, the value stays
        std::size_t end;
    };
    const Case cases[] = {
        {ScanDecimal, "42", 0, 42u, 2},
        {ScanDecimal, "  \t\r\n7,", 0, 7u, 6},
        {ScanDecimal, "x , 12abc", 3, 12u, 6},
        {ScanDecimal, "+4", 0, 4u, 2},
        {ScanDecimal, "-1", 0, 0xFFFFFFFFu, 2},
        {ScanDecimal, "4294967301", 0, 5u, 10}, // cut to 32 bits
        {ScanDecimal, "99999999999", 0, 1215752191u, 11},
        {ScanDecimal, "007", 0, 7u, 3},
        {ScanDecimal, "", 0, std::nullopt, 0},
        {ScanDecimal, "  ", 0, std::nullopt, 0},
        {ScanDecimal, "- 1", 0, std::nullopt, 0},
        {ScanDecimal, "--1", 0, std::nullopt, 0},
        {ScanDecimal, "abc", 0, std::nullopt, 0},
        {ScanDecimal, "12", 5, std::nullopt, 0}, // past the end
        {ScanHex, "3eb,", 0, 0x3ebu, 3},
        {ScanHex, "3EB", 0, 0x3ebu, 3},
        {ScanHex, "0x3eb", 0, 0x3ebu, 5},
        {ScanHex, "0X3eb", 0, 0x3ebu, 5},
        {ScanHex, " -0x10", 0, 0xFFFFFFF0u, 6},
        {ScanHex, "0x0x3", 0, 0u, 3}, // the prefix, then "0" and no more digits
        {ScanHex, "0xg", 0, 0u, 1},   // no digit after "0x": the "0" alone
        {ScanHex, "123456789", 0, 0x23456789u, 9},
        {ScanHex, "g", 0, std::nullopt, 0},
        {ScanHex, "", 0, std::nullopt, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.scan == ScanHex ? "hex " : "decimal ") + '"' + c.text + '"');
        std::uint32_t value = 77;
        const std::size_t end = c.scan(c.text, c.pos, value);
        EXPECT_EQ(end, c.value ? c.end : kNoField);
        EXPECT_EQ(value, c.value.value_or(77u));
    }
}

TEST(TextNumbers, ScanWordAndLeadingInt) {
    std::string_view word;
    EXPECT_EQ(ScanWord("  Fn12,12 , 3", 0, word), 9u);
    EXPECT_EQ(word, "Fn12,12");
    EXPECT_EQ(ScanWord(" \r\n", 0, word), kNoField);
    EXPECT_EQ(word, "Fn12,12");

    const struct {
        const char* text;
        std::uint32_t value;
    } atoi[] = {{"15012 x", 15012u}, {" -3", 0xFFFFFFFDu}, {"x1", 0u}, {"", 0u}};
    for (const auto& c : atoi)
        EXPECT_EQ(LeadingInt(c.text), c.value) << '"' << c.text << '"';
}

TEST(TextNumbers, LeadingDoubleReadsDecimalTextOnly) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"208", 208.0},   {"  104.5 MHz", 104.5},
        {"1e3", 1000.0},  {".5", 0.5},
        {"+13", 13.0},    {"-5", -5.0},
        {"3,5", 3.0},     {"", 0.0},
        {"MHz 208", 0.0}, {".", 0.0},
        {"-.e1", 0.0},    {"+-1", 0.0},
        {"nan", 0.0},     {"inf", 0.0},
        {"0x10", 0.0},    {"1e999", inf},
        {"-1e999", -inf}, {"1e-999", 0.0},
        {"1e40", 1e40},   {"200.000000", 200.0},
    };
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
    } fixed[] = {
        {200.0, 6, "200.000000"},
        {static_cast<float>(208.7), 6, "208.699997"},
        {0.075f, 2, "0.08"}, // a float above the tie
        {0.125, 2, "0.12"},  // ties go to even, as printf rounds
        {-1.5, 0, "-2"},
        {1e20, 1, "100000000000000000000.0"},
        {std::numeric_limits<double>::infinity(), 2, "inf"},
    };
    for (const auto& c : fixed)
        EXPECT_EQ(FormatFixed(c.value, c.decimals), c.text) << c.value;
    std::setlocale(LC_NUMERIC, old.c_str());

    char buffer[kMaxIntText];
    EXPECT_EQ(std::string(buffer, PutUnsigned(buffer, 0xFFFFFFFFu)), "4294967295");
    EXPECT_EQ(std::string(buffer, PutSignedWord(buffer, 0xFFFFFFFFu)), "-1");
    EXPECT_EQ(std::string(buffer, PutSigned(buffer, std::numeric_limits<std::int64_t>::min())),
              "-9223372036854775808");
    EXPECT_EQ(std::string(buffer, PutHex(buffer, 0xDEADBEEFu)), "deadbeef");
    EXPECT_EQ(FormatUnsigned(2000), "2000");
    EXPECT_EQ(FormatSigned(-294967296), "-294967296");
}

} // namespace
} // namespace zuta::text
