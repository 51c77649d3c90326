#pragma once

#include "engine/Records.h"
#include "graphs/CpuChart.h"
#include "graphs/CpuGraphModel.h"
#include "graphs/CpuSessions.h"

#include <QDialog>
#include <QFont>
#include <QPointer>
#include <QRect>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QTableWidget;

namespace zuta {
class CPerformanceData;
class CollectionSession;
} // namespace zuta

namespace zuta::performance {

class CPerformanceView;
class CPieChartDlg;
class CTimeSequenceDlg;
class ZTitleTip;

// "CPU Usage Graph": the recorded samples cut into sessions between two runs of a mask-event task,
// the CPU load of a page of sessions as a chart and the samples of the selected session as a
// timeline strip, with the details of the selected session and sample, searches and the session
// pie. The sessions and every search come from graphs::CpuSessions; this class shows them and
// forwards the user's input.
class CCpuUsageGraphDlg : public QDialog {
    Q_OBJECT
public:
    // `taskNames`: the names of the view's task table rows, in the table's order. The view must
    // have its collection session.
    CCpuUsageGraphDlg(CPerformanceView& view, std::vector<std::string> taskNames,
                      QWidget* parent = nullptr);
    ~CCpuUsageGraphDlg() override;

    // The sessions were built (there are samples and an idle task).
    bool built() const { return built_; }
    const graphs::CpuSessionSet& sessions() const { return set_; }
    const std::vector<GraphSample>& samples() const { return samples_; }
    const std::vector<std::string>& activeNames() const { return activeNames_; }
    const graphs::SessionPaging& paging() const { return paging_; }
    std::uint32_t maskId() const { return maskId_; }
    std::uint32_t selectedSession() const { return selectedSession_; }
    std::uint32_t selectedSample() const { return selectedSample_; }
    graphs::TimelineMode timelineMode() const { return timelineMode_; }
    const graphs::CCpuChart& chart() const { return chart_; }
    graphs::Rect ChartRect() const { return chartRect_; }
    graphs::Rect TimelineRect() const { return timelineRect_; }
    graphs::Rect FrameRect() const { return frameRect_; }
    // The boxes the timeline shows for the selected session.
    std::vector<graphs::TimelineBox> TimelineBoxes() const;
    // The timeline's colour of a task (given on first use).
    graphs::ColorRef ColourOf(std::uint32_t id) const { return colours_.ColourOf(id); }
    // The session pie while it is open.
    CPieChartDlg* pie() const;
    CTimeSequenceDlg* timeSequence() const { return timeSequence_; }

    // What the user's actions do.
    void SelectSession(std::uint32_t session);
    void OnGo();
    void OnPrevious();
    void OnNext();
    void OnFindTask();
    void OnThresholdSearch(bool forward);
    void OnBookmarkSearch(bool forward);
    void OnRefresh();
    void OnSessionPie();
    void OnTimeSequence();
    void OnHex();
    void OnFewer();
    void OnMore();
    void OnToggleAll();
    // Right clicks: sticks or a line in the chart, boxes by run time or alike in the timeline.
    void ToggleChartMode();
    void ToggleTimelineMode();

    QScrollBar* scrollBar() const { return scroll_; }
    QPushButton* moreButton() const { return more_; }
    QPushButton* allButton() const { return all_; }
    QPushButton* fewerButton() const { return fewer_; }
    QComboBox* maskList() const { return maskList_; }
    QPushButton* refreshButton() const { return refresh_; }
    QPushButton* timeSequenceButton() const { return timeSequenceButton_; }
    QTableWidget* taskDetails() const { return taskDetails_; }
    QTableWidget* sessionDetails() const { return sessionDetails_; }
    QLineEdit* goToEdit() const { return goTo_; }
    QPushButton* goButton() const { return go_; }
    QPushButton* previousButton() const { return previous_; }
    QPushButton* nextButton() const { return next_; }
    QPushButton* pieButton() const { return pieButton_; }
    QComboBox* findList() const { return findList_; }
    QPushButton* findButton() const { return find_; }
    QGroupBox* thresholdGroup() const { return thresholdGroup_; }
    QLineEdit* thresholdEdit() const { return threshold_; }
    QComboBox* bookmarkList() const { return bookmarkList_; }
    QPushButton* bookmarkPreviousButton() const { return bookmarkPrevious_; }
    QPushButton* bookmarkNextButton() const { return bookmarkNext_; }
    QCheckBox* hexCheck() const { return hex_; }

public slots:
    // Keeps the threshold and closes the pie as the dialog closes.
    void done(int result) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildControls();
    void ComputeGeometry();
    void ChooseInitialMask();
    bool BuildSessions();
    void FillBookmarks();

    void ShowChartPage();
    void ShowPageRange();
    // After "+", "-" or "o": the scroll range and the chart's numbers for the new page size.
    void ShowZoom();
    void ShowSessionDetails();
    void ShowTaskDetails();
    void UpdateStepButtons();
    void OnScrollAction(int action);
    // After a search or a step: details, page, pie and buttons for the selected session.
    void ShowSelection(bool taskDetailsToo);
    void ShowMessage(const char* text, const char* caption);

    void StartPie();
    void RelaunchPie();
    void ClosePie();

    void PaintTimeline(QPainter& painter) const;
    std::uint32_t SessionAtChart(int x) const;

    CPerformanceView& view_;
    CPerformanceData& data_;
    CollectionSession& session_;

    std::vector<std::string> taskNames_;
    std::vector<std::string> activeNames_;
    std::vector<GraphSample> samples_;
    graphs::CpuSessionSet set_;
    // A task takes its colour when first painted and keeps it, painting included.
    mutable graphs::TaskColours colours_;
    graphs::SessionPaging paging_;
    // Where each user event stands in the sample copy, in order, for the bookmark search.
    std::vector<std::uint32_t> userEventSamples_;
    std::uint32_t maskId_ = 0;
    std::uint32_t idleId_ = 0;
    double divisor_ = 208.0;
    bool built_ = false;

    std::uint32_t selectedSession_ = 0;
    std::uint32_t selectedSample_ = 0;
    std::uint32_t bookmarkPosition_ = 0;
    std::optional<std::uint32_t> foundTask_;
    graphs::TimelineMode timelineMode_ = graphs::TimelineMode::TimeProportional;
    bool hexIds_ = false;

    graphs::Rect chartRect_;
    graphs::Rect timelineRect_;
    graphs::Rect frameRect_;
    QSize initialSize_;
    int initialTimelineRight_ = 0;
    int initialFrameRight_ = 0;
    QFont nameFont_;
    QFont listFont_;

    graphs::CCpuChart chart_;
    ZTitleTip* tip_ = nullptr;
    CTimeSequenceDlg* timeSequence_ = nullptr;
    QPointer<CPieChartDlg> pie_;
    std::optional<QRect> pieGeometry_;

    QScrollBar* scroll_ = nullptr;
    QPushButton* more_ = nullptr;
    QPushButton* all_ = nullptr;
    QPushButton* fewer_ = nullptr;
    QComboBox* maskList_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QPushButton* timeSequenceButton_ = nullptr;
    QTableWidget* taskDetails_ = nullptr;
    QTableWidget* sessionDetails_ = nullptr;
    QLineEdit* goTo_ = nullptr;
    QPushButton* go_ = nullptr;
    QPushButton* previous_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* pieButton_ = nullptr;
    QComboBox* findList_ = nullptr;
    QPushButton* find_ = nullptr;
    QGroupBox* thresholdGroup_ = nullptr;
    QLineEdit* threshold_ = nullptr;
    QPushButton* thresholdPrevious_ = nullptr;
    QPushButton* thresholdNext_ = nullptr;
    QLineEdit* note_ = nullptr;
    QComboBox* bookmarkList_ = nullptr;
    QPushButton* bookmarkPrevious_ = nullptr;
    QPushButton* bookmarkNext_ = nullptr;
    QCheckBox* hex_ = nullptr;
};

// Opens the graph on the view's collection, modal on the view's window or not; it deletes itself
// when closed. Null without a collection session.
CCpuUsageGraphDlg* OpenCpuUsageGraph(CPerformanceView& view, bool modal);

} // namespace zuta::performance
