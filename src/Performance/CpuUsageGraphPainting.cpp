#include "Performance/CpuChartPainter.h"
#include "Performance/CpuUsageGraphDlg.h"
#include "Performance/GraphPainter.h"
#include "Performance/TitleTip.h"
#include "engine/PerformanceData.h"
#include "graphs/CpuGraphModel.h"
#include "host/TextNumbers.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <qdrawutil.h>

namespace zuta::performance {

namespace {

constexpr graphs::ColorRef kTimelineBackground = graphs::Rgb(200, 200, 200);
constexpr graphs::ColorRef kBoxHighlight = graphs::Rgb(255, 255, 255);

} // namespace

void CCpuUsageGraphDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(ToQRect(timelineRect_), ToQColor(kTimelineBackground));
    qDrawShadeRect(&painter, ToQRect(timelineRect_), palette(), true, 1);
    qDrawShadeRect(&painter, ToQRect(frameRect_), palette(), true, 1);
    PaintTimeline(painter);
    PaintCpuChart(painter, chart_);
}

void CCpuUsageGraphDlg::PaintTimeline(QPainter& painter) const {
    const std::vector<graphs::TimelineBox> boxes = TimelineBoxes();
    const bool named = timelineMode_ == graphs::TimelineMode::EqualWidth;
    painter.save();
    // Boxes at least a pixel wide may add up past the right edge: the strip keeps them inside.
    painter.setClipRect(ToQRect(timelineRect_));
    painter.setFont(nameFont_);
    painter.setPen(Qt::black);
    for (const graphs::TimelineBox& box : boxes) {
        const GraphSample& sample = samples_[box.sample];
        const graphs::ColorRef colour = colours_.ColourOf(sample.id);
        DrawGradientBar(painter, box.rect, colour, kBoxHighlight, box.sample == selectedSample_,
                        true, false);
        if (!named)
            continue;
        std::string name;
        if (sample.kind == graphs::kSampleUserEvent)
            name = hexIds_ ? "0x" + text::FormatHex(sample.id)
                           : text::FormatSigned(static_cast<std::int32_t>(sample.id));
        else
            data_.GetTaskName(sample.id, name);
        painter.drawText(ToQRect(box.rect), Qt::AlignCenter | Qt::TextSingleLine,
                         QString::fromStdString(name));
    }
    painter.restore();
}

void CCpuUsageGraphDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (!initialSize_.isValid()) {
        // The first size is the smallest width and the only height.
        initialSize_ = size();
        setMinimumSize(initialSize_);
        setMaximumHeight(initialSize_.height());
        return;
    }
    const int growth = std::max(0, width() - initialSize_.width());
    timelineRect_.right = initialTimelineRight_ + growth;
    frameRect_.right = initialFrameRight_ + growth;
    update();
}

void CCpuUsageGraphDlg::ToggleChartMode() {
    chart_.ToggleLineMode();
    update();
}

void CCpuUsageGraphDlg::ToggleTimelineMode() {
    timelineMode_ = timelineMode_ == graphs::TimelineMode::TimeProportional
                        ? graphs::TimelineMode::EqualWidth
                        : graphs::TimelineMode::TimeProportional;
    update();
}

std::vector<graphs::TimelineBox> CCpuUsageGraphDlg::TimelineBoxes() const {
    if (selectedSession_ >= set_.sessions.size())
        return {};
    return graphs::TimelineBoxes(data_, samples_, set_.sessions[selectedSession_], timelineRect_,
                                 timelineMode_);
}

std::uint32_t CCpuUsageGraphDlg::SessionAtChart(int x) const {
    return paging_.firstSession() + static_cast<std::uint32_t>(chart_.HitTest(x));
}

void CCpuUsageGraphDlg::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const bool inChart = chartRect_.contains(at.x(), at.y());
    const bool inTimeline = timelineRect_.contains(at.x(), at.y());
    if (event->button() == Qt::RightButton) {
        if (inChart)
            ToggleChartMode();
        else if (inTimeline)
            ToggleTimelineMode();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    if (inChart) {
        SelectSession(SessionAtChart(at.x()));
    } else if (inTimeline) {
        const auto boxes = TimelineBoxes();
        if (const auto hit = graphs::TimelineHit(boxes, at.x(), at.y())) {
            selectedSample_ = *hit;
            ShowTaskDetails();
            update();
        }
    }
}

void CCpuUsageGraphDlg::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    std::string text;
    if (chartRect_.contains(at.x(), at.y())) {
        const std::uint32_t session = SessionAtChart(at.x());
        if (session >= set_.sessions.size())
            return;
        text = graphs::ChartTip(set_, session, divisor_);
    } else if (timelineRect_.contains(at.x(), at.y())) {
        const auto boxes = TimelineBoxes();
        const auto hit = graphs::TimelineHit(boxes, at.x(), at.y());
        if (!hit)
            return;
        text = graphs::TimelineTip(data_, samples_[*hit], hexIds_, timelineMode_);
    } else {
        return;
    }
    tip_->Hide();
    tip_->Show(QRect(at.x(), at.y(), 40, 15), QString::fromStdString(text));
}

} // namespace zuta::performance
