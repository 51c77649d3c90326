#pragma once

#include "graphs/GradientBar.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <vector>

class QPainter;

namespace zuta::performance {

QColor ToQColor(graphs::ColorRef colour);
QRect ToQRect(const graphs::Rect& rect);
// The graphs' font: Arial whose character cell (ascent plus descent) is at most cellHeight pixels,
// the height the dialogs are laid out for. Measured rather than scaled, so a stand-in family with
// other proportions still fits the layout.
QFont ArialFont(int cellHeight, QFont::Weight weight);

// Paints one timeline box as graphs::PlanGradientBar plans it, pixel for pixel. The painter must
// have no transformation other than whole-pixel translation.
void DrawGradientBar(QPainter& painter, const graphs::Rect& rect, graphs::ColorRef colour,
                     graphs::ColorRef highlight, bool selected, bool border, bool gradient);

// Fills the pixels of lines drawn with a two-pixel pen (see graphs::PolylinePixels).
void DrawWideLines(QPainter& painter, const std::vector<graphs::Point>& points,
                   graphs::ColorRef colour);

} // namespace zuta::performance
