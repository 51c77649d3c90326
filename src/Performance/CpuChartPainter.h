#pragma once

#include "graphs/CpuChart.h"

class QPainter;
class QWidget;

namespace zuta::performance {

// Paints the chart's plan into the owner's painter: fills pixel for pixel, texts in Arial light.
void PaintCpuChart(QPainter& painter, const graphs::CCpuChart& chart);

// Asks the owner to repaint the chart's rectangle.
void InvalidateCpuChart(QWidget& owner, const graphs::CCpuChart& chart);

} // namespace zuta::performance
