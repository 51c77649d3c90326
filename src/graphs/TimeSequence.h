#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zuta::graphs {

// The duration of every CPU session in order, against the duration of the last one appended.
// Rows more than 50 microseconds off that reference stand out.
class TimeSequence {
public:
    // Adds a session's duration, which becomes the reference.
    void Append(std::uint32_t session, float microseconds);
    // Empties the list; the reference stays.
    void Clear() { entries_.clear(); }

    const std::vector<std::pair<std::uint32_t, float>>& entries() const { return entries_; }
    float reference() const { return reference_; }

    // The texts of a row: "Pos" and "Time".
    std::string PositionText(std::size_t row) const;
    std::string TimeText(std::size_t row) const;
    // Whether the row's whole microseconds (as its "Time" text shows them) lie more than 50 from
    // the reference.
    bool OffPeriod(std::size_t row) const;

private:
    std::vector<std::pair<std::uint32_t, float>> entries_;
    float reference_ = 0.0f;
};

} // namespace zuta::graphs
