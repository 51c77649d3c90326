#include "graphs/TimeSequence.h"

#include <array>
#include <charconv>
#include <cmath>

namespace zuta::graphs {

void TimeSequence::Append(std::uint32_t session, float microseconds) {
    entries_.emplace_back(session, microseconds);
    reference_ = microseconds;
}

std::string TimeSequence::PositionText(std::size_t row) const {
    return std::to_string(entries_.at(row).first);
}

std::string TimeSequence::TimeText(std::size_t row) const {
    std::array<char, 64> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(),
                                      entries_.at(row).second, std::chars_format::fixed, 2);
    return std::string(text.data(), result.ptr);
}

// Compared as signed numbers: a short session lies below the reference, it does not wrap round
// to a huge one.
bool TimeSequence::OffPeriod(std::size_t row) const {
    const std::string text = TimeText(row);
    long long whole = 0;
    std::from_chars(text.data(), text.data() + text.size(), whole);
    const double reference = reference_;
    return std::fabs(static_cast<double>(whole) - reference) > 50.0;
}

} // namespace zuta::graphs
