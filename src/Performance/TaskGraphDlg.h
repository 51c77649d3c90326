#pragma once

#include "graphs/TaskGraphModel.h"

#include <QDialog>
#include <QTimer>
#include <memory>

class QComboBox;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QTableWidget;

namespace zuta::performance {

class CPerformanceView;
class ZTitleTip;

inline constexpr int kLiveRefreshTimerId = 2048;

// "Performance Graph": the samples one after the other as a strip of boxes in rows for tasks,
// HISRs, interrupts and functions, with the details of the selected sample, page navigation, a
// search for the next run of a task and a time measurement between two samples. Everything it
// shows comes from a graphs::TaskGraphModel; this class paints it and forwards the user's input.
class CTaskGraphDlg : public QDialog {
    Q_OBJECT
public:
    // Live while the view collects: the newest samples, refreshed until paused.
    CTaskGraphDlg(CPerformanceView& view, bool live, QWidget* parent = nullptr);
    ~CTaskGraphDlg() override;

    graphs::TaskGraphModel& model() { return *model_; }
    // The graph's rectangle in the dialog, derived from the scroll bar.
    graphs::Rect GraphRect() const;

    // What the user's actions do, also for pictures of the dialog.
    void ShowPage(std::size_t position);
    void ClickBox(std::size_t box);
    void RightClickBox(std::size_t box);
    void RefreshLive();

    QTableWidget* detailsList() const { return details_; }
    QLineEdit* sampleCountEdit() const { return sampleCount_; }
    QLineEdit* rangeEdit() const { return range_; }
    QLineEdit* timeDeltaEdit() const { return timeDelta_; }
    QPushButton* pauseButton() const { return pause_; }
    QPushButton* continueButton() const { return continue_; }
    QPushButton* beginButton() const { return begin_; }
    QPushButton* endButton() const { return end_; }
    QPushButton* findButton() const { return find_; }
    QComboBox* findList() const { return findList_; }
    QScrollBar* scrollBar() const { return scroll_; }
    const QTimer& liveTimer() const { return liveTimer_; }
    const ZTitleTip& titleTip() const { return *tip_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildControls();
    void ShowDetails();
    void ShowPageState();
    void OnScrollAction(int action);
    void OnBegin();
    void OnEnd();
    void OnFind();
    void OnPause();
    void OnContinue();

    CPerformanceView& view_;
    std::unique_ptr<graphs::TaskGraphModel> model_;
    ZTitleTip* tip_ = nullptr;
    QTimer liveTimer_;

    QScrollBar* scroll_ = nullptr;
    QTableWidget* details_ = nullptr;
    QLineEdit* sampleCount_ = nullptr;
    QLineEdit* range_ = nullptr;
    QLineEdit* timeDelta_ = nullptr;
    QPushButton* pause_ = nullptr;
    QPushButton* continue_ = nullptr;
    QPushButton* begin_ = nullptr;
    QPushButton* end_ = nullptr;
    QPushButton* find_ = nullptr;
    QComboBox* findList_ = nullptr;
};

// Opens the graph on the view's collection, live while it collects; modal on the view's window
// or not. Null without a collection session.
CTaskGraphDlg* OpenTaskGraph(CPerformanceView& view, bool modal);

} // namespace zuta::performance
