#pragma once

#include "collection/ViewState.h"

#include <QPointer>
#include <QWidget>
#include <map>

class QAction;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;

namespace zuta::performance {

class CPerformanceView;

// The pane docked into the host for one frame: Start and Stop, the session details and the
// action buttons with their "Data" and "Graph" menus. Every button and menu entry forwards to the
// view it serves and stays disabled until the view enables it; the pane and the frame close each
// other.
class CPerformanceControlBar : public QWidget {
    Q_OBJECT
public:
    explicit CPerformanceControlBar(QWidget* parent = nullptr);

    // The view the bar serves; set by the view's initial update.
    CPerformanceView* view() const { return view_; }
    void SetView(CPerformanceView* view);

    // Enables the buttons and menu entries by the rules of the command table.
    void ShowState(const ViewState& state);

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
    QMenu* dataMenu() const { return dataMenu_; }
    QMenu* graphMenu() const { return graphMenu_; }
    QAction* saveDataAction() const { return saveData_; }
    QAction* loadDataAction() const { return loadData_; }
    QAction* importRawAction() const { return importRaw_; }
    QAction* exportTextAction() const { return exportText_; }
    QAction* taskGraphAction() const { return taskGraph_; }
    QAction* cpuGraphAction() const { return cpuGraph_; }
    QAction* functionGraphAction() const { return functionGraph_; }

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
    QMenu* dataMenu_;
    QMenu* graphMenu_;
    QAction* saveData_ = nullptr;
    QAction* loadData_ = nullptr;
    QAction* importRaw_ = nullptr;
    QAction* exportText_ = nullptr;
    QAction* taskGraph_ = nullptr;
    QAction* cpuGraph_ = nullptr;
    QAction* functionGraph_ = nullptr;
    // Every control of a command, buttons and menu entries alike.
    std::map<Command, QObject*> controls_;
};

} // namespace zuta::performance
