#include "Performance/CpuChartPainter.h"

#include "Performance/GraphPainter.h"

#include <QPainter>
#include <QWidget>

namespace zuta::performance {

void PaintCpuChart(QPainter& painter, const graphs::CCpuChart& chart) {
    const QFont small = ArialFont(graphs::CCpuChart::kSmallFontHeight, QFont::Light);
    const QFont label = ArialFont(graphs::CCpuChart::kLabelFontHeight, QFont::Light);
    painter.save();
    for (const graphs::ChartItem& item : chart.Plan()) {
        if (const auto* fill = std::get_if<graphs::Fill>(&item)) {
            painter.fillRect(ToQRect(fill->area), ToQColor(fill->colour));
            continue;
        }
        const auto& text = std::get<graphs::ChartText>(item);
        painter.setFont(text.fontHeight == graphs::CCpuChart::kSmallFontHeight ? small : label);
        painter.setPen(ToQColor(text.colour));
        const int alignment = text.centred ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignTop);
        painter.drawText(ToQRect(text.box), alignment | Qt::TextSingleLine | Qt::TextDontClip,
                         QString::fromStdString(text.text));
    }
    painter.restore();
}

void InvalidateCpuChart(QWidget& owner, const graphs::CCpuChart& chart) {
    owner.update(ToQRect(chart.rect()));
}

} // namespace zuta::performance
