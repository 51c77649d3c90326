#pragma once

#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>
#include <string>

namespace zuta::agent {

// A command-line number that must be finite and within [min, max]: NaN, infinities and values
// out of range are refused with one line. The simulated target and zuta check their options alike.
inline CLI::Validator FiniteNumber(double min, double max) {
    const std::string range =
        "[" + CLI::detail::to_string(min) + ", " + CLI::detail::to_string(max) + "]";
    return CLI::Validator(
        [min, max, range](std::string& text) -> std::string {
            double value = 0.0;
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
            if (ec != std::errc{} || end != text.data() + text.size() || !std::isfinite(value) ||
                value < min || value > max)
                return "'" + text + "' is not a finite number in " + range;
            return {};
        },
        "NUMBER in " + range);
}

} // namespace zuta::agent
