#include "Performance/WindowPlacement.h"

#include <climits>
#include <gtest/gtest.h>

namespace zuta::performance {
namespace {

TEST(WindowPlacementTest, FormatsTheFourEdges) {
    EXPECT_EQ(FormatWindowRect({10, 20, 410, 320}), "RECT(10,20,410,320)");
    EXPECT_EQ(FormatWindowRect({INT_MIN, INT_MAX, 0, 1}), "RECT(-2147483648,2147483647,0,1)");
}

TEST(WindowPlacementTest, ReadsLikeTheScanfPattern) {
    struct Case {
        const char* text;
        WindowRect expected;
    };
    const Case cases[] = {
        {"RECT(10,20,410,320)", {10, 20, 410, 320}},
        {"RECT( 1, +2,\t3,4)", {1, 2, 3, 4}},
        {"RECT(1,2,3,4) and more", {1, 2, 3, 4}},
        // Reading stops at the first mismatch; what was read stays.
        {"RECT(1,2)", {1, 2, 0, 0}},
        {"RECT(1,x,3,4)", {1, 0, 0, 0}},
        {"RECT(1 ,2,3,4)", {1, 0, 0, 0}},
        {"RECT(99999999999,2,3,4)", {0, 0, 0, 0}},
        {"rect(1,2,3,4)", {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseWindowRect(c.text), c.expected) << c.text;
    }
}

} // namespace
} // namespace zuta::performance
