#include "graphs/GradientBar.h"

#include <algorithm>
#include <cstdlib>

namespace zuta::graphs {
namespace {

// The channel `step` of `steps` on the way from the highlight to the colour.
std::uint8_t Toward(std::uint8_t highlight, std::uint8_t colour, int step, int steps) {
    const int distance = std::abs(int{colour} - int{highlight}) * step / steps;
    return static_cast<std::uint8_t>(colour >= highlight ? highlight + distance
                                                         : highlight - distance);
}

ColorRef StripColour(ColorRef colour, ColorRef highlight, int step, int steps) {
    return Rgb(Toward(RedOf(highlight), RedOf(colour), step, steps),
               Toward(GreenOf(highlight), GreenOf(colour), step, steps),
               Toward(BlueOf(highlight), BlueOf(colour), step, steps));
}

// Areas are filled whichever way round their edges were given.
Rect Ordered(const Rect& rect) {
    return {std::min(rect.left, rect.right), std::min(rect.top, rect.bottom),
            std::max(rect.left, rect.right), std::max(rect.top, rect.bottom)};
}

// One part in strips: the colour sits at the box's outer edge, the highlight towards the line
// between the two parts.
void AddStrips(std::vector<Fill>& fills, const Rect& part, bool colourAtLeft, ColorRef colour,
               ColorRef highlight) {
    const int width = part.width();
    const Rect rows = Ordered(part);
    for (int step = 1; step <= width; ++step) {
        const int x = colourAtLeft ? part.left + width - step : part.left + step - 1;
        fills.push_back(
            {{x, rows.top, x + 1, rows.bottom}, StripColour(colour, highlight, step, width)});
    }
}

} // namespace

GradientBarPlan PlanGradientBar(const Rect& rect, ColorRef colour, ColorRef highlight,
                                bool selected, bool border, bool gradient) {
    GradientBarPlan plan;
    Rect box = rect;
    if (box.width() <= 0) {
        box.right = box.left + 2;
    } else if (box.height() < 1) {
        box.top -= 2;
    }
    plan.box = box;

    const int third = box.width() / 3;
    plan.leftPart = {box.left, box.top, box.left + third, box.bottom};
    plan.rightPart = {box.left + third, box.top, box.right, box.bottom};
    for (const bool left : {true, false}) {
        const Rect& part = left ? plan.leftPart : plan.rightPart;
        if (part.width() < 1 || part.height() == 0) {
            continue;
        }
        if (gradient) {
            AddStrips(plan.parts, part, left, colour, highlight);
        } else {
            plan.parts.push_back({Ordered(part), colour});
        }
    }

    plan.framed = border;
    plan.frameColour = colour;
    if (border && selected) {
        plan.shadow.push_back({{{box.left, box.bottom + 1},
                                {box.right + 1, box.bottom + 1},
                                {box.right + 1, box.top}},
                               kShadowOuter});
        plan.shadow.push_back({{{box.left + 1, box.bottom + 2},
                                {box.right + 2, box.bottom + 2},
                                {box.right + 2, box.top + 1}},
                               kShadowInner});
    }
    return plan;
}

// A two-pixel pen is laid one pixel before and one on the line; the frame runs through the
// rectangle's last column and row, with round (here square) joins filling the corners.
std::vector<Rect> FramePixels(const Rect& box) {
    const Rect r = Ordered(box);
    if (r.empty()) {
        return {};
    }
    std::vector<Rect> pixels = {
        {r.left - 1, r.top - 1, r.right, r.top + 1},
        {r.left - 1, r.bottom - 2, r.right, r.bottom},
    };
    if (r.bottom - 2 > r.top + 1) {
        pixels.push_back({r.left - 1, r.top + 1, r.left + 1, r.bottom - 2});
        pixels.push_back({r.right - 2, r.top + 1, r.right, r.bottom - 2});
    }
    return pixels;
}

// Lines are horizontal or vertical; each covers one pixel before and one after its end points
// (the pen's round caps and joins are two pixels square).
std::vector<Rect> PolylinePixels(const std::vector<Point>& points) {
    std::vector<Rect> pixels;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const Point& from = points[i - 1];
        const Point& to = points[i];
        pixels.push_back({std::min(from.x, to.x) - 1, std::min(from.y, to.y) - 1,
                          std::max(from.x, to.x) + 1, std::max(from.y, to.y) + 1});
    }
    return pixels;
}

} // namespace zuta::graphs
