#include "Performance/PieChartDlg.h"

#include "Performance/GraphPainter.h"
#include "Performance/PerformanceView.h"
#include "collection/TaskTable.h"
#include "engine/PerformanceData.h"
#include "settings/PerformanceSettings.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <utility>

namespace zuta::performance {

namespace {

QRectF PieSquare(const graphs::Rect& pie) {
    return QRectF(pie.left, pie.top, pie.width(), pie.height());
}

} // namespace

CPieChartDlg::CPieChartDlg(QWidget* parent)
    : QDialog(parent), font_(ArialFont(kTextHeight, QFont::Normal)),
      textHeight_(QFontMetrics(font_).height()) {
    setObjectName(QStringLiteral("pieChart"));
    // Every pixel comes from the off-screen image.
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(kDefaultWidth, kDefaultHeight);
}

void CPieChartDlg::AddSlice(graphs::ColorRef colour, graphs::ColorRef textColour, float percent,
                            std::string label) {
    AddSlice(graphs::MakePieSlice(colour, textColour, percent, std::move(label)));
}

void CPieChartDlg::AddSlice(graphs::PieSlice slice) {
    slices_.push_back(std::move(slice));
    update();
}

void CPieChartDlg::SetTitle(const std::string& title) {
    setWindowTitle(QString::fromStdString(title));
}

void CPieChartDlg::Open(bool modal) {
    if (modal)
        open();
    else
        show();
}

graphs::PiePlan CPieChartDlg::Plan() const {
    return graphs::PlanPie(slices_, graphs::Rect{0, 0, width(), height()}, textHeight_);
}

QImage CPieChartDlg::Render() const {
    const graphs::PiePlan plan = Plan();
    QImage image(std::max(1, width()), std::max(1, height()), QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(image.rect(), ToQColor(graphs::kPieClientColour));
    const QRectF square = PieSquare(plan.pie);
    painter.setPen(Qt::NoPen);
    if (!plan.pie.empty()) {
        painter.setBrush(ToQColor(graphs::kPieCircleColour));
        painter.drawEllipse(square);
    }
    for (const graphs::PieWedge& wedge : plan.wedges) {
        if (!wedge.drawn)
            continue;
        // The painter counts sixteenths of a degree counter-clockwise from three o'clock; the
        // chart counts degrees clockwise from twelve.
        const int span = std::min(wedge.endAngle - wedge.startAngle, 360);
        painter.setBrush(ToQColor(slices_[wedge.slice].colour));
        painter.drawPie(square, (90 - wedge.startAngle) * 16, -span * 16);
    }
    if (!plan.pie.empty()) {
        painter.setPen(QPen(ToQColor(graphs::kPieOutlineColour), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(
            QRect(plan.pie.left, plan.pie.top, plan.pie.width() - 1, plan.pie.height() - 1));
    }
    // Texts last, so that no neighbouring wedge covers a percentage.
    painter.setFont(font_);
    for (const graphs::LegendRow& row : plan.legend) {
        const graphs::PieSlice& slice = slices_[row.slice];
        painter.fillRect(ToQRect(row.square), ToQColor(slice.colour));
        for (const graphs::Fill& fill : row.edge)
            painter.fillRect(ToQRect(fill.area), ToQColor(fill.colour));
        painter.setPen(ToQColor(slice.textColour));
        painter.drawText(ToQRect(row.text), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         QString::fromStdString(slice.label));
    }
    for (const graphs::PercentLabel& label : plan.labels) {
        painter.setPen(ToQColor(slices_[label.slice].textColour));
        const QRect around(label.centre.x - plan.client.width(), label.centre.y - textHeight_,
                           2 * plan.client.width(), 2 * textHeight_);
        painter.drawText(around, Qt::AlignCenter | Qt::TextSingleLine,
                         QString::fromStdString(label.text));
    }
    return image;
}

void CPieChartDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, Render());
}

CPieChartDlg* OpenDistributionChart(CPerformanceView& view, graphs::Statistic statistic,
                                    bool modal) {
    CPerformanceData* data = view.data();
    const PerformanceSettings* settings = view.settings();
    if (data == nullptr || settings == nullptr)
        return nullptr;
    view.LogStatus("Processing Data");
    auto* chart = new CPieChartDlg(&view);
    chart->setAttribute(Qt::WA_DeleteOnClose);
    view.LogStatus("Loading ...");

    const TaskTable& table = view.taskTable();
    std::vector<std::pair<std::string, TaskRecord>> rows;
    for (std::size_t row = 0; row < table.rowCount(); ++row) {
        TaskRecord task;
        if (data->GetTaskByIdText(table.Cell(row, 1), task))
            rows.emplace_back(table.Cell(row, 0), std::move(task));
    }
    const auto totals =
        data->Read([](const StoreState& state) { return graphs::DistributionTotals::Of(state); });
    graphs::DistributionChart built = graphs::BuildDistribution(
        statistic, rows, totals,
        graphs::DistributionDivisor(settings->externalTsMode, settings->armClockMhz));
    for (graphs::PieSlice& slice : built.slices)
        chart->AddSlice(std::move(slice));
    chart->SetTitle(built.title);
    chart->Open(modal);
    return chart;
}

} // namespace zuta::performance
