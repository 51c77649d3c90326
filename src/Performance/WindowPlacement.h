#pragma once

#include <string>
#include <string_view>

namespace zuta::performance {

// A window rectangle as the workspace keeps it: right and bottom lie one past the last pixel.
struct WindowRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const WindowRect&, const WindowRect&) = default;
};

// "RECT(left,top,right,bottom)".
std::string FormatWindowRect(const WindowRect& rect);

// Reads "RECT(%d,%d,%d,%d)" the way a scanf pattern does: blanks before a number are skipped,
// reading stops at the first mismatch and the fields not read stay 0. A number that does not fit
// an int stops the reading too.
WindowRect ParseWindowRect(std::string_view text);

} // namespace zuta::performance
