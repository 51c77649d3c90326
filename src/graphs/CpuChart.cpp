#include "graphs/CpuChart.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace zuta::graphs {
namespace {

// Adds one pixel, widening the last area when the pixel continues its row or column.
void AddPixel(std::vector<Rect>& pixels, int x, int y) {
    if (!pixels.empty()) {
        Rect& last = pixels.back();
        if (last.height() == 1 && y == last.top && (x == last.right || x == last.left - 1)) {
            last.left = std::min(last.left, x);
            last.right = std::max(last.right, x + 1);
            return;
        }
        if (last.width() == 1 && x == last.left && (y == last.bottom || y == last.top - 1)) {
            last.top = std::min(last.top, y);
            last.bottom = std::max(last.bottom, y + 1);
            return;
        }
    }
    pixels.push_back({x, y, x + 1, y + 1});
}

void AddFills(std::vector<ChartItem>& items, const std::vector<Rect>& areas, ColorRef colour) {
    for (const Rect& area : areas) {
        items.emplace_back(Fill{area, colour});
    }
}

// The octant of a line, counted clockwise from the positive x axis (y grows downwards).
int OctantOf(int dx, int dy) {
    if (dy > 0) {
        return dx > 0 ? (dx > dy ? 1 : 2) : (-dx > dy ? 4 : 3);
    }
    return dx < 0 ? (-dx > -dy ? 5 : 6) : (dx > -dy ? 8 : 7);
}

} // namespace

// Bresenham's walk along the major axis; in octants 3, 5, 6 and 8 a tie steps along the minor
// axis one pixel later, as the platform does.
std::vector<Rect> ThinLinePixels(Point from, Point to) {
    const int dx = to.x - from.x;
    const int dy = to.y - from.y;
    const int octant = OctantOf(dx, dy);
    const bool xMajor = std::abs(dx) > std::abs(dy);
    const int major = xMajor ? std::abs(dx) : std::abs(dy);
    const int minor = xMajor ? std::abs(dy) : std::abs(dx);
    const int bias = (octant == 3 || octant == 5 || octant == 6 || octant == 8) ? 1 : 0;
    const int xStep = (octant <= 2 || octant >= 7) ? 1 : -1;
    const int yStep = octant <= 4 ? 1 : -1;
    std::vector<Rect> pixels;
    int x = from.x;
    int y = from.y;
    int error = 2 * minor - major;
    for (int i = 0; i < major; ++i) {
        AddPixel(pixels, x, y);
        const bool minorStep = error + bias > 0;
        error += minorStep ? 2 * minor - 2 * major : 2 * minor;
        if (xMajor) {
            x += xStep;
            y += minorStep ? yStep : 0;
        } else {
            y += yStep;
            x += minorStep ? xStep : 0;
        }
    }
    return pixels;
}

void CCpuChart::Create(int left, int top, int width, int height) {
    rect_ = {left, top, left + width, top + height};
}

void CCpuChart::SetRange(int first, int end) {
    rangeFirst_ = first;
    rangeEnd_ = end;
}

void CCpuChart::Clear() {
    points_.clear();
}

bool CCpuChart::AddPoint(double percent) {
    if (percent > 100.0 || pointsPerPage_ <= 0) {
        return false;
    }
    const std::int64_t k = static_cast<std::int64_t>(points_.size()) + 1;
    const int x = rect_.left + static_cast<int>(rect_.width() * k / pointsPerPage_);
    // A grid band is a eleventh of the height; 100 % lies half a pixel per 10 % above its line.
    const double rise = std::trunc((2.0 * rect_.height() + 11.0) * percent / 220.0);
    points_.push_back({x, rect_.bottom - static_cast<int>(rise)});
    return true;
}

int CCpuChart::HitTest(int x) const {
    for (std::size_t i = 0; i + 1 < points_.size(); ++i) {
        if (points_[i].x <= x && x <= points_[i + 1].x) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

void CCpuChart::AddGrid(std::vector<ChartItem>& items) const {
    const int height = rect_.height();
    const int band = static_cast<int>(std::lround(height / 11.0));
    for (int i = 1; i <= 11; ++i) {
        const int y = rect_.top + i * band;
        const Point from{rect_.left + 14, y};
        const Point to{rect_.right, y};
        AddFills(items, i == 5 ? PolylinePixels({from, to}) : ThinLinePixels(from, to), grid_);
        const int labelTop = rect_.top + (i - 1) * band;
        items.emplace_back(ChartText{{rect_.left, labelTop + 6, rect_.left + 14, labelTop + 24},
                                     std::to_string((11 - i) * 10),
                                     kSmallFontHeight,
                                     true,
                                     grid_});
    }

    const int perTen = pointsPerPage_ / 10;
    int columns = 10;
    int step = 10;
    if (perTen > 0 && perTen < 10) {
        columns = perTen;
        step = (rangeEnd_ - rangeFirst_) / perTen;
    } else if (perTen >= 10) {
        step = perTen;
    }
    for (int j = 0; j < columns; ++j) {
        const int x = rect_.left + j * rect_.width() / columns;
        items.emplace_back(ChartText{{x, rect_.top, x + 42, rect_.top + 12},
                                     std::to_string(rangeFirst_ + j * step),
                                     kLabelFontHeight,
                                     false,
                                     grid_});
        AddFills(items, ThinLinePixels({x, rect_.top + 12}, {x, rect_.bottom}), grid_);
    }
}

std::vector<ChartItem> CCpuChart::Plan() const {
    std::vector<ChartItem> items;
    items.emplace_back(Fill{rect_, background_});
    AddGrid(items);
    for (std::size_t i = 0; i < points_.size(); ++i) {
        if (!lineMode_) {
            AddFills(items, ThinLinePixels({points_[i].x, rect_.bottom}, points_[i]), line_);
        } else if (i > 0) {
            AddFills(items, ThinLinePixels(points_[i - 1], points_[i]), line_);
        }
    }
    return items;
}

} // namespace zuta::graphs
