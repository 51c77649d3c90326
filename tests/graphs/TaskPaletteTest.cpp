#include "graphs/TaskPalette.h"

#include <gtest/gtest.h>

namespace zuta::graphs {
namespace {

// The round number is added to the whole value: a carry out of red reaches green and blue.
TEST(TaskPaletteTest, LaterRoundsAddTheRoundNumber) {
    TaskPalette palette;
    struct Case {
        int index;
        ColorRef colour;
    };
    const Case cases[] = {
        {0, Rgb(0, 51, 255)}, {10, Rgb(255, 255, 4)}, {11, Rgb(1, 51, 255)},
        {21, Rgb(0, 0, 5)},   {22, Rgb(2, 51, 255)},
    };
    int next = 0;
    for (const Case& c : cases) {
        ColorRef colour = 0;
        while (next <= c.index) {
            colour = palette.Next();
            ++next;
        }
        EXPECT_EQ(colour, c.colour) << "colour " << c.index;
    }
}

TEST(TaskPaletteTest, AnIdentifierKeepsItsColour) {
    TaskColours colours;
    const ColorRef first = colours.ColourOf(0x40);
    EXPECT_EQ(colours.ColourOf(0x41), Rgb(51, 102, 255));
    EXPECT_EQ(colours.ColourOf(0x40), first);
    EXPECT_EQ(first, Rgb(0, 51, 255));
}

} // namespace
} // namespace zuta::graphs
