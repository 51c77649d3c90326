#pragma once

#include "graphs/GradientBar.h"

#include <string>
#include <variant>
#include <vector>

namespace zuta::graphs {

// A text of the chart: drawn in the box with the font of the given cell height, centred or
// from the box's top left.
struct ChartText {
    Rect box;
    std::string text;
    int fontHeight = 0;
    bool centred = false;
    ColorRef colour = 0;
    friend bool operator==(const ChartText&, const ChartText&) = default;
};

// What one paint of the chart draws, in order.
using ChartItem = std::variant<Fill, ChartText>;

// The pixels a one-pixel pen covers from `from` to `to`, the end point left out, as the
// platform's line drawing places them.
std::vector<Rect> ThinLinePixels(Point from, Point to);

// One page of percentages (the load of consecutive sessions) as a chart on a fixed 0..100 scale
// with sticks or a polyline. The owner gives the rectangle in its own pixels, adds the points of
// a page, paints the plan and hit-tests clicks.
class CCpuChart {
public:
    static constexpr int kSmallFontHeight = 10;
    static constexpr int kLabelFontHeight = 14;

    void Create(int left, int top, int width, int height);
    void SetBackgroundColour(ColorRef colour) { background_ = colour; }
    void SetGridColour(ColorRef colour) { grid_ = colour; }
    void SetLineColour(ColorRef colour) { line_ = colour; }
    // The session numbers under the vertical grid.
    void SetRange(int first, int end);
    // The number of points the page will hold: sets the horizontal spacing.
    void SetPointsPerPage(int count) { pointsPerPage_ = count; }
    void Clear();
    // False for a value above 100, which takes no place, and while the page has no size.
    bool AddPoint(double percent);
    void ToggleLineMode() { lineMode_ = !lineMode_; }
    // The 1-based number of the point at or left of `x` whose next point is at or right of it;
    // 0 outside.
    int HitTest(int x) const;

    const Rect& rect() const { return rect_; }
    const std::vector<Point>& points() const { return points_; }
    bool lineMode() const { return lineMode_; }

    std::vector<ChartItem> Plan() const;

private:
    void AddGrid(std::vector<ChartItem>& items) const;

    Rect rect_;
    int rangeFirst_ = 0;
    int rangeEnd_ = 100;
    ColorRef background_ = Rgb(0, 0, 0);
    ColorRef grid_ = Rgb(0, 255, 0);
    ColorRef line_ = Rgb(255, 0, 0);
    bool lineMode_ = false;
    int pointsPerPage_ = 0;
    std::vector<Point> points_;
};

} // namespace zuta::graphs
