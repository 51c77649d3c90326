#include "Performance/GraphPainter.h"

#include <QFontMetrics>
#include <QPainter>

namespace zuta::performance {

QColor ToQColor(graphs::ColorRef colour) {
    return QColor(graphs::RedOf(colour), graphs::GreenOf(colour), graphs::BlueOf(colour));
}

QRect ToQRect(const graphs::Rect& rect) {
    return QRect(rect.left, rect.top, rect.width(), rect.height());
}

QFont ArialFont(int cellHeight, QFont::Weight weight) {
    QFont font(QStringLiteral("Arial"));
    font.setWeight(weight);
    for (int pixels = cellHeight; pixels > 1; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).height() <= cellHeight)
            break;
    }
    return font;
}

namespace {

// Every primitive is painted as whole-pixel fills, so the result does not depend on how the
// painter places pens.
void FillAll(QPainter& painter, const std::vector<graphs::Rect>& areas, graphs::ColorRef colour) {
    const QColor fill = ToQColor(colour);
    for (const graphs::Rect& area : areas) {
        painter.fillRect(ToQRect(area), fill);
    }
}

} // namespace

void DrawGradientBar(QPainter& painter, const graphs::Rect& rect, graphs::ColorRef colour,
                     graphs::ColorRef highlight, bool selected, bool border, bool gradient) {
    const graphs::GradientBarPlan plan =
        graphs::PlanGradientBar(rect, colour, highlight, selected, border, gradient);
    for (const graphs::Fill& fill : plan.parts) {
        painter.fillRect(ToQRect(fill.area), ToQColor(fill.colour));
    }
    if (plan.framed) {
        FillAll(painter, graphs::FramePixels(plan.box), plan.frameColour);
    }
    for (const graphs::Polyline& line : plan.shadow) {
        DrawWideLines(painter, line.points, line.colour);
    }
}

void DrawWideLines(QPainter& painter, const std::vector<graphs::Point>& points,
                   graphs::ColorRef colour) {
    FillAll(painter, graphs::PolylinePixels(points), colour);
}

} // namespace zuta::performance
