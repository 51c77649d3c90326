#pragma once

#include "graphs/TaskPalette.h"

#include <vector>

namespace zuta::graphs {

// A rectangle in pixels as the graphs give it: the area covers left <= x < right and
// top <= y < bottom.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
    constexpr bool empty() const { return right <= left || bottom <= top; }
    constexpr bool contains(int x, int y) const {
        return x >= left && x < right && y >= top && y < bottom;
    }
    friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

struct Point {
    int x = 0;
    int y = 0;
    friend constexpr bool operator==(const Point&, const Point&) = default;
};

// One area painted in one colour.
struct Fill {
    Rect area;
    ColorRef colour = 0;
    friend constexpr bool operator==(const Fill&, const Fill&) = default;
};

// Lines through the points in order, drawn with a pen two pixels wide.
struct Polyline {
    std::vector<Point> points;
    ColorRef colour = 0;
};

// What one timeline box paints, in painting order: the parts (one-pixel strips with a gradient,
// otherwise two blocks), the frame and the selection shadow.
struct GradientBarPlan {
    Rect box;       // the rectangle after normalising
    Rect leftPart;  // the left third
    Rect rightPart; // the rest
    std::vector<Fill> parts;
    bool framed = false; // a two-pixel frame of `box` in the box's colour
    ColorRef frameColour = 0;
    std::vector<Polyline> shadow; // the two lines under and right of a selected framed box
};

inline constexpr ColorRef kShadowOuter = Rgb(250, 70, 70);
inline constexpr ColorRef kShadowInner = Rgb(254, 0, 90);

GradientBarPlan PlanGradientBar(const Rect& rect, ColorRef colour, ColorRef highlight,
                                bool selected, bool border, bool gradient);

// The pixels a two-pixel pen covers, as areas to fill: the frame of a rectangle drawn with a
// hollow brush, and lines from point to point.
std::vector<Rect> FramePixels(const Rect& box);
std::vector<Rect> PolylinePixels(const std::vector<Point>& points);

} // namespace zuta::graphs
