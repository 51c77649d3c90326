#include "graphs/GradientBar.h"

#include <gtest/gtest.h>

namespace zuta::graphs {
namespace {

constexpr ColorRef kBlue = Rgb(0, 51, 255);
constexpr ColorRef kWhite = Rgb(255, 255, 255);

struct Strip {
    int x;
    ColorRef colour;
};

TEST(GradientBarTest, StripsRunFromTheColourAtTheEdgesToTheHighlightInside) {
    struct Case {
        Rect rect;
        Rect box;
        std::vector<Strip> strips;
    };
    // Halfway from white to (0,51,255) is (128,153,255): the distance is rounded down.
    const ColorRef half = Rgb(128, 153, 255);
    const Case cases[] = {
        // Width 0 is painted 2 wide; width 2 has an empty left third.
        {{10, 5, 10, 15}, {10, 5, 12, 15}, {{10, half}, {11, kBlue}}},
        {{10, 5, 12, 15}, {10, 5, 12, 15}, {{10, half}, {11, kBlue}}},
        // A flat box grows upwards.
        {{0, 9, 2, 9}, {0, 7, 2, 9}, {{0, half}, {1, kBlue}}},
        {{0, 0, 9, 4},
         {0, 0, 9, 4},
         {{2, Rgb(170, 187, 255)},
          {1, Rgb(85, 119, 255)},
          {0, kBlue},
          {3, Rgb(213, 221, 255)},
          {4, Rgb(170, 187, 255)},
          {5, Rgb(128, 153, 255)},
          {6, Rgb(85, 119, 255)},
          {7, Rgb(43, 85, 255)},
          {8, kBlue}}},
    };
    for (const Case& c : cases) {
        const GradientBarPlan plan = PlanGradientBar(c.rect, kBlue, kWhite, true, false, true);
        EXPECT_EQ(plan.box, c.box);
        EXPECT_TRUE(plan.shadow.empty()); // selected, but without a border
        ASSERT_EQ(plan.parts.size(), c.strips.size()) << c.rect.left << "," << c.rect.right;
        for (std::size_t i = 0; i < c.strips.size(); ++i) {
            const Fill expected{{c.strips[i].x, c.box.top, c.strips[i].x + 1, c.box.bottom},
                                c.strips[i].colour};
            EXPECT_EQ(plan.parts[i], expected) << "strip " << i;
        }
    }
}

} // namespace
} // namespace zuta::graphs
