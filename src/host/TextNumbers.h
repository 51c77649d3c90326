#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Numbers in text as the C library's scanf, atoi, atof and printf read and write them in the "C"
// locale, whatever locale the process runs in. The session file, the raw log, the text export, the
// settings and the name maps all take their numbers from here.
namespace zuta::text {

// White space as scanf and isspace see it.
constexpr bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

constexpr bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The value of a hexadecimal digit; -1 for any other character.
constexpr int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The first position at or after `pos` that holds no white space.
constexpr std::size_t SkipSpace(std::string_view text, std::size_t pos = 0) {
    while (pos < text.size() && IsSpace(text[pos]))
        ++pos;
    return pos;
}

// Appends the digits (base 10 or 16) at the start of `text` to `value`, each one as
// value = value * base + digit in 32 bits, so any digit string has the value of its low 32 bits.
// Returns how many characters were digits.
std::size_t AccumulateDigits(std::string_view text, std::uint32_t base, std::uint32_t& value);

// What the scans return when the field is not there.
inline constexpr std::size_t kNoField = std::string_view::npos;

// The scanf conversions on text[pos...]. Each skips white space, reads its field and returns the
// position after it, or kNoField (and leaves `value` alone) when the field is not there. Numbers
// take an optional sign and are cut to 32 bits, then negated for '-'.
std::size_t ScanDecimal(std::string_view text, std::size_t pos, std::uint32_t& value); // "%d" "%u"
std::size_t ScanHex(std::string_view text, std::size_t pos, std::uint32_t& value); // "%x", 0x too
std::size_t ScanWord(std::string_view text, std::size_t pos, std::string_view& word); // "%s"

// atoi: the leading decimal number, cut to 32 bits; 0 when there is none.
std::uint32_t LeadingInt(std::string_view text);

// atof of decimal text: white space, a sign, digits with an optional point and exponent; 0 when
// there is none, +-infinity when too large, 0 when too small. Hexadecimal numbers, "inf" and "nan"
// are not read (0).
double LeadingDouble(std::string_view text);

// printf conversions written at `out`, returning the end; each needs at most kMaxIntText
// characters of room.
inline constexpr std::size_t kMaxIntText = 20;

// "%u"
inline char* PutUnsigned(char* out, std::uint32_t value) {
    return std::to_chars(out, out + 10, value).ptr;
}
// "%d" of a signed value, "%I64d"
inline char* PutSigned(char* out, std::int64_t value) {
    return std::to_chars(out, out + kMaxIntText, value).ptr;
}
// "%d" of a 32-bit word: its bits taken as a signed number.
inline char* PutSignedWord(char* out, std::uint32_t value) {
    return std::to_chars(out, out + 11, static_cast<std::int32_t>(value)).ptr;
}
// "%x"
inline char* PutHex(char* out, std::uint32_t value) {
    return std::to_chars(out, out + 8, value, 16).ptr;
}

// The same conversions as text.
std::string FormatUnsigned(std::uint64_t value);
std::string FormatSigned(std::int64_t value);
std::string FormatHex(std::uint32_t value);

// "%.Nf" with N = `decimals` (0 to 20): fixed notation, rounded to nearest, "inf" and "nan" as
// printf writes them.
std::string FormatFixed(double value, int decimals);
void AppendFixed(std::string& out, double value, int decimals);

} // namespace zuta::text
