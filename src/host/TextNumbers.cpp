#include "host/TextNumbers.h"

#include <algorithm>
#include <limits>

namespace zuta::text {

namespace {

// An optional sign at text[pos]: the position after it.
std::size_t Sign(std::string_view text, std::size_t pos, bool& negative) {
    negative = pos < text.size() && text[pos] == '-';
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        ++pos;
    return pos;
}

std::size_t ScanInteger(std::string_view text, std::size_t pos, std::uint32_t base,
                        std::uint32_t& value) {
    bool negative = false;
    pos = Sign(text, SkipSpace(text, pos), negative);
    // "%x" takes a "0x" in front of the digits.
    if (base == 16 && pos + 2 < text.size() && text[pos] == '0' &&
        (text[pos + 1] == 'x' || text[pos + 1] == 'X') && HexDigit(text[pos + 2]) >= 0)
        pos += 2;
    std::uint32_t parsed = 0;
    const std::size_t digits =
        AccumulateDigits(text.substr(std::min(pos, text.size())), base, parsed);
    if (digits == 0)
        return kNoField;
    value = negative ? 0u - parsed : parsed;
    return pos + digits;
}

} // namespace

std::size_t AccumulateDigits(std::string_view text, std::uint32_t base, std::uint32_t& value) {
    std::uint32_t v = value;
    std::size_t i = 0;
    if (base == 16) {
        for (int digit; i < text.size() && (digit = HexDigit(text[i])) >= 0; ++i)
            v = (v << 4) | static_cast<std::uint32_t>(digit);
    } else {
        for (; i < text.size() && IsDigit(text[i]); ++i)
            v = v * 10u + static_cast<std::uint32_t>(text[i] - '0');
    }
    value = v;
    return i;
}

std::size_t ScanDecimal(std::string_view text, std::size_t pos, std::uint32_t& value) {
    return ScanInteger(text, pos, 10, value);
}

std::size_t ScanHex(std::string_view text, std::size_t pos, std::uint32_t& value) {
    return ScanInteger(text, pos, 16, value);
}

std::size_t ScanWord(std::string_view text, std::size_t pos, std::string_view& word) {
    const std::size_t start = SkipSpace(text, pos);
    std::size_t end = start;
    while (end < text.size() && !IsSpace(text[end]))
        ++end;
    if (end == start)
        return kNoField;
    word = text.substr(start, end - start);
    return end;
}

std::uint32_t LeadingInt(std::string_view text) {
    std::uint32_t value = 0;
    ScanDecimal(text, 0, value);
    return value;
}

double LeadingDouble(std::string_view text) {
    bool negative = false;
    const std::size_t pos = Sign(text, SkipSpace(text), negative);
    // from_chars would also take "inf", "nan" and a second sign.
    const bool digitFirst = pos < text.size() && IsDigit(text[pos]);
    const bool pointFirst = pos + 1 < text.size() && text[pos] == '.' && IsDigit(text[pos + 1]);
    if (!digitFirst && !pointFirst)
        return 0.0;
    const char* first = text.data() + pos;
    const char* last = text.data() + text.size();
    double value = 0.0;
    const auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large gives infinity, too small zero, as the C conversion does.
        const std::string_view number(first, static_cast<std::size_t>(result.ptr - first));
        const std::size_t mark = number.find_first_of("eE");
        const bool tiny =
            mark != std::string_view::npos && mark + 1 < number.size() && number[mark + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (result.ec != std::errc()) {
        return 0.0;
    }
    return negative ? -value : value;
}

std::string FormatUnsigned(std::uint64_t value) {
    char buffer[kMaxIntText];
    return std::string(buffer, std::to_chars(buffer, buffer + kMaxIntText, value).ptr);
}

std::string FormatSigned(std::int64_t value) {
    char buffer[kMaxIntText];
    return std::string(buffer, PutSigned(buffer, value));
}

std::string FormatHex(std::uint32_t value) {
    char buffer[kMaxIntText];
    return std::string(buffer, PutHex(buffer, value));
}

std::string FormatFixed(double value, int decimals) {
    std::string out;
    AppendFixed(out, value, decimals);
    return out;
}

void AppendFixed(std::string& out, double value, int decimals) {
    // The largest double has 309 digits before the point.
    char buffer[340];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    out.append(buffer, result.ptr);
}

} // namespace zuta::text
