#pragma once

#include "host/TextNumbers.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zuta::host {

// Integers in a settings store are kept as decimal text. Reading also accepts a leading '-' or '+'
// and "0x" hexadecimal, with blanks around the number; any other text is not a number. Values
// are cut to their low 32 bits, so "-1" reads as 0xFFFFFFFF.
inline std::optional<std::uint32_t> ParseSettingsInt(std::string_view text) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::uint32_t base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    std::uint32_t value = 0;
    if (text.empty() || text::AccumulateDigits(text, base, value) != text.size())
        return std::nullopt;
    return negative ? 0u - value : value;
}

inline std::string FormatSettingsInt(std::uint32_t value) {
    return text::FormatUnsigned(value);
}

} // namespace zuta::host
