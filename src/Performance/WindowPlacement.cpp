#include "Performance/WindowPlacement.h"

#include <array>
#include <charconv>
#include <system_error>

namespace zuta::performance {

std::string FormatWindowRect(const WindowRect& rect) {
    std::string text = "RECT(";
    const std::array<int, 4> fields{rect.left, rect.top, rect.right, rect.bottom};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        std::array<char, 16> digits{};
        const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), fields[i]);
        text.append(digits.data(), result.ptr);
        text += i + 1 < fields.size() ? ',' : ')';
    }
    return text;
}

WindowRect ParseWindowRect(std::string_view text) {
    WindowRect rect;
    std::array<int*, 4> fields{&rect.left, &rect.top, &rect.right, &rect.bottom};
    constexpr std::string_view prefix = "RECT(";
    if (!text.starts_with(prefix)) {
        return rect;
    }
    text.remove_prefix(prefix.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            if (text.empty() || text.front() != ',') {
                break;
            }
            text.remove_prefix(1);
        }
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t' ||
                                 text.front() == '\n' || text.front() == '\r')) {
            text.remove_prefix(1);
        }
        // from_chars takes no '+', scanf does.
        if (!text.empty() && text.front() == '+') {
            text.remove_prefix(1);
        }
        int value = 0;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
        if (result.ec != std::errc{}) {
            break;
        }
        *fields[i] = value;
        text.remove_prefix(static_cast<std::size_t>(result.ptr - text.data()));
    }
    return rect;
}

} // namespace zuta::performance
