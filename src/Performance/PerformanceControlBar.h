#pragma once

#include <QPointer>
#include <QWidget>

class QLineEdit;
class QPushButton;
class QToolButton;

namespace zuta::performance {

class CPerformanceView;

// The pane docked into the host for one frame: Start and Stop, the session details and the
// action buttons. The buttons stay disabled until the view enables them; the pane and the frame
// close each other.
class CPerformanceControlBar : public QWidget {
    Q_OBJECT
public:
    explicit CPerformanceControlBar(QWidget* parent = nullptr);

    // The view the bar serves; set by the view's initial update.
    CPerformanceView* view() const { return view_; }
    void SetView(CPerformanceView* view) { view_ = view; }

    QToolButton* startButton() const { return start_; }
    QToolButton* stopButton() const { return stop_; }
    QLineEdit* taskCountEdit() const { return taskCount_; }
    QLineEdit* samplingDurationEdit() const { return samplingDuration_; }
    QLineEdit* cpuLoadEdit() const { return cpuLoad_; }
    QLineEdit* userEventsEdit() const { return userEvents_; }
    QLineEdit* versionEdit() const { return version_; }
    QPushButton* dataButton() const { return data_; }
    QPushButton* graphButton() const { return graph_; }
    QPushButton* settingsButton() const { return settings_; }
    QPushButton* runVtuneButton() const { return runVtune_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QPointer<CPerformanceView> view_;
    QToolButton* start_;
    QToolButton* stop_;
    QLineEdit* taskCount_;
    QLineEdit* samplingDuration_;
    QLineEdit* cpuLoad_;
    QLineEdit* userEvents_;
    QLineEdit* version_;
    QPushButton* data_;
    QPushButton* graph_;
    QPushButton* settings_;
    QPushButton* runVtune_;
};

} // namespace zuta::performance
