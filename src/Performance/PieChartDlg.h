#pragma once

#include "graphs/PieChart.h"

#include <QDialog>
#include <QFont>
#include <QImage>
#include <string>
#include <vector>

namespace zuta::performance {

class CPerformanceView;

// A pie of slices with a legend below it, painted off-screen and copied to the window. The slices
// and the title are given before the window is shown; resizing lays the pie out anew.
class CPieChartDlg : public QDialog {
    Q_OBJECT
public:
    // The size of the empty frame the chart opens in.
    static constexpr int kDefaultWidth = 540;
    static constexpr int kDefaultHeight = 722;
    // The chart's font: a line of text is this many pixels high.
    static constexpr int kTextHeight = 14;

    explicit CPieChartDlg(QWidget* parent = nullptr);

    // `percent` of the whole circle; `textColour` for the legend text and the percentage.
    void AddSlice(graphs::ColorRef colour, graphs::ColorRef textColour, float percent,
                  std::string label);
    void AddSlice(graphs::PieSlice slice);
    // Shown as the window's caption.
    void SetTitle(const std::string& title);
    // Shows the chart without waiting for it to close: modal on its parent's window or not.
    void Open(bool modal);

    const std::vector<graphs::PieSlice>& slices() const { return slices_; }
    // The layout for the current client size, laid out anew for every paint.
    graphs::PiePlan Plan() const;
    // What the window shows, painted for the current client size.
    QImage Render() const;
    int textHeight() const { return textHeight_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<graphs::PieSlice> slices_;
    QFont font_;
    int textHeight_ = 0;
};

// The distribution of one statistic over the tasks of the view's table, as its own window that
// deletes itself when closed: modal on the view's window or not. Null before the view has its
// collection session. Writes "Processing Data" and "Loading ..." to the view's
// status output while it builds the chart.
CPieChartDlg* OpenDistributionChart(CPerformanceView& view, graphs::Statistic statistic,
                                    bool modal);

} // namespace zuta::performance
