#include "graphs/TaskPalette.h"

#include <array>

namespace zuta::graphs {

namespace {

constexpr std::array<ColorRef, 11> kBaseColours = {
    Rgb(0, 51, 255),    Rgb(51, 102, 255),  Rgb(153, 51, 204), Rgb(204, 51, 204),
    Rgb(102, 204, 51),  Rgb(255, 204, 0),   Rgb(255, 153, 0),  Rgb(255, 102, 0),
    Rgb(153, 153, 153), Rgb(102, 102, 102), Rgb(255, 255, 4),
};

} // namespace

ColorRef TaskPalette::Next() {
    const std::uint32_t n = handedOut_++;
    return kBaseColours[n % kBaseColours.size()] + n / kBaseColours.size();
}

ColorRef TaskColours::ColourOf(std::uint32_t id) {
    const auto [it, added] = colours_.try_emplace(id, 0);
    if (added)
        it->second = palette_.Next();
    return it->second;
}

} // namespace zuta::graphs
