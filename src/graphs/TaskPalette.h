#pragma once

#include <cstdint>
#include <unordered_map>

namespace zuta::graphs {

// A colour as the graphs keep it: 0x00BBGGRR.
using ColorRef = std::uint32_t;

constexpr ColorRef Rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return ColorRef{red} | (ColorRef{green} << 8) | (ColorRef{blue} << 16);
}
constexpr std::uint8_t RedOf(ColorRef colour) {
    return static_cast<std::uint8_t>(colour & 0xffu);
}
constexpr std::uint8_t GreenOf(ColorRef colour) {
    return static_cast<std::uint8_t>((colour >> 8) & 0xffu);
}
constexpr std::uint8_t BlueOf(ColorRef colour) {
    return static_cast<std::uint8_t>((colour >> 16) & 0xffu);
}

// Hands out the colours of a graph's tasks: eleven base colours, then the same eleven again with
// the round number added to the whole value, so that later rounds differ slightly in red.
class TaskPalette {
public:
    ColorRef Next();

private:
    std::uint32_t handedOut_ = 0;
};

// The colour of each identifier in one graph: an identifier keeps the colour it was first given
// for the life of the graph.
class TaskColours {
public:
    ColorRef ColourOf(std::uint32_t id);

private:
    TaskPalette palette_;
    std::unordered_map<std::uint32_t, ColorRef> colours_;
};

} // namespace zuta::graphs
