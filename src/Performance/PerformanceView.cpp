#include "Performance/PerformanceView.h"

#include "Performance/PerformanceControlBar.h"
#include "Performance/PerformanceDoc.h"
#include "Performance/PerformanceFrame.h"
#include "Performance/PerformanceManager.h"
#include "Performance/TaskTableWidget.h"
#include "Performance/ViewCommands.h"
#include "collection/CollectionSession.h"
#include "collection/ViewText.h"
#include "host/HostWindow.h"
#include "host/OutputWindow.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QVBoxLayout>

namespace zuta::performance {

std::string ModuleVersionText() {
    return FormatModuleVersion(ZUTA_VERSION_MAJOR, ZUTA_VERSION_MINOR, ZUTA_VERSION_PATCH,
                               ZUTA_VERSION_TWEAK);
}

CPerformanceView::CPerformanceView(CPerformanceFrame* frame, host::IHostWindow* host)
    : QWidget(frame), frame_(frame), host_(host) {
    setObjectName(QStringLiteral("ZutaPerformanceView"));

    taskList_ = new CTaskTableWidget();
    taskList_->setMinimumSize(CTaskTableWidget::kMinimumWidth, CTaskTableWidget::kMinimumHeight);
    // A view smaller than the list scrolls instead of squeezing it.
    tableArea_ = new QScrollArea(this);
    tableArea_->setFrameShape(QFrame::NoFrame);
    tableArea_->setWidgetResizable(true);
    tableArea_->setWidget(taskList_);

    BuildMenu();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(menuBar_);
    layout->addWidget(tableArea_);

    cpuLoadTimer_.setObjectName(QStringLiteral("1537"));
    connect(&cpuLoadTimer_, &QTimer::timeout, this, &CPerformanceView::OnCpuLoadTimer);
    refreshTimer_.setObjectName(QStringLiteral("1538"));
    refreshTimer_.setSingleShot(true);
    refreshTimer_.setInterval(kTableRefreshDelayMs);
    connect(&refreshTimer_, &QTimer::timeout, this, [this] {
        // Cleared first, so a batch that comes during the refresh arms the next one.
        StopRefreshTimer();
        RefreshStatistics();
    });
    stopGraceTimer_.setObjectName(QStringLiteral("StopGrace"));
    stopGraceTimer_.setSingleShot(true);
    stopGraceTimer_.setInterval(kStopGraceMs);
    connect(&stopGraceTimer_, &QTimer::timeout, this, &CPerformanceView::FinishStop);

    connect(taskList_, &CTaskTableWidget::rowClicked, this, &CPerformanceView::OnRowClicked);
    connect(taskList_, &CTaskTableWidget::rowDoubleClicked, this,
            &CPerformanceView::OnRowDoubleClicked);
}

CPerformanceView::~CPerformanceView() {
    Teardown();
}

CPerformanceData* CPerformanceView::data() const {
    return session_ != nullptr ? &session_->data() : nullptr;
}

std::vector<std::string> CPerformanceView::RowTaskNames() const {
    std::vector<std::string> names;
    if (data() == nullptr)
        return names;
    for (const std::string& idText : table_.IdTexts()) {
        TaskRecord task;
        if (data()->GetTaskByIdText(idText, task))
            names.push_back(task.name);
    }
    return names;
}

PerformanceSettings* CPerformanceView::settings() const {
    return session_ != nullptr ? &session_->settings() : nullptr;
}

MemoryStatsTable* CPerformanceView::memoryStats() const {
    return session_ != nullptr ? &session_->memoryStats() : nullptr;
}

CollectionController* CPerformanceView::controller() const {
    return session_ != nullptr ? &session_->controller() : nullptr;
}

void CPerformanceView::BuildMenu() {
    menuBar_ = new QMenuBar(this);
    menu_ = menuBar_->addMenu(QStringLiteral("&Performance"));
    std::map<QString, QMenu*> submenus;
    for (const ViewCommand& row : ViewCommands()) {
        if (row.menuPath.empty())
            continue;
        const QString path =
            QString::fromUtf8(row.menuPath.data(), static_cast<qsizetype>(row.menuPath.size()));
        const qsizetype slash = path.indexOf(QLatin1Char('/'));
        QMenu* menu = menu_;
        if (row.separatorBefore)
            menu_->addSeparator();
        if (slash >= 0) {
            QMenu*& submenu = submenus[path.left(slash)];
            if (submenu == nullptr)
                submenu = menu_->addMenu(path.left(slash));
            menu = submenu;
        }
        QAction* action = menu->addAction(path.mid(slash + 1));
        const Command command = row.command;
        action->setData(static_cast<unsigned>(command));
        connect(action, &QAction::triggered, this, [this, command] { RunCommand(command); });
        actions_[command] = action;
    }
}

QAction* CPerformanceView::menuAction(Command command) const {
    const auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

CPerformanceControlBar* CPerformanceView::controlBar() const {
    return frame_ != nullptr ? frame_->controlBar() : nullptr;
}

void CPerformanceView::SetBarText(QLineEdit* (CPerformanceControlBar::*edit)() const,
                                  const std::string& text) {
    if (CPerformanceControlBar* bar = controlBar())
        (bar->*edit)()->setText(QString::fromStdString(text));
}

void CPerformanceView::LogStatus(std::string_view text) {
    if (host_ != nullptr)
        host_->OutputWindow().WriteStatusLine(text);
}

void CPerformanceView::OnInitialUpdate() {
    if (initialUpdateDone_)
        return;
    initialUpdateDone_ = true;
    if (host_ == nullptr)
        host_ = HostWindow();
    if (host_ == nullptr) {
        // Without a host there is no settings store and no output: the view stays empty.
        return;
    }

    SessionServices services;
    services.settingsStore = &host_->SettingsStore();
    services.output = &host_->OutputWindow();
    services.messageBox = &host_->MessageBox();
    services.view = this;
    services.commandLink = host_->CommandLink();
    services.dataLink = host_->DataLink();
    services.resolver = host_->SenderNameResolver();
    session_ = std::make_unique<CollectionSession>(services);
    // The grace period after Stop runs on the view's timer: the store must not wait on the window
    // thread.
    session_->data().SetFinishDelay(std::chrono::milliseconds(0));

    percentView_ = settings()->percentView;
    samplingMode_ = settings()->SamplingMode();

    taskList_->SetTable(&table_);
    taskList_->SetColourSource(data(), settings()->idleTaskName);
    taskList_->setShowGrid(true);
    taskList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    taskList_->horizontalHeader()->setSectionsMovable(true);
    BuildColumns();
    state_.Initialise();

    if (CPerformanceControlBar* bar = controlBar())
        bar->SetView(this);
    // The host shows the menu in its own menu bar while the frame is active, as a frame's menu.
    if (frame_ != nullptr && host_->SetFrameMenu(static_cast<QWidget*>(frame_), menu_))
        menuBar_->hide();
    UpdateControls();
    SetBarText(&CPerformanceControlBar::samplingDurationEdit, "na");
    SetBarText(&CPerformanceControlBar::userEventsEdit, "0");
    SetBarText(&CPerformanceControlBar::cpuLoadEdit, "0");

    if (!ReopenLastFile())
        return; // the view was closed meanwhile
    setAcceptDrops(true);
    SetBarText(&CPerformanceControlBar::versionEdit, ModuleVersionText());
}

void CPerformanceView::UpdateControls() {
    for (const auto& [command, action] : actions_) {
        if (const ViewCommand* row = FindViewCommand(command))
            action->setEnabled(state_.IsEnabled(row->rule));
    }
    // Rows keep their order while a run fills them.
    taskList_->SetSortingEnabled(state_.canSort());
    if (CPerformanceControlBar* bar = controlBar())
        bar->ShowState(state_);
}

void CPerformanceView::RunCommand(Command command) {
    const ViewCommand* row = FindViewCommand(command);
    // While a file is read the window runs its events, but the commands wait.
    if (row != nullptr && fileJob_ == nullptr && state_.IsEnabled(row->rule))
        row->handler(*this, *row);
}

void CPerformanceView::ShowWaitCursor(bool on) {
    if (on == waitCursorShown_)
        return;
    waitCursorShown_ = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void CPerformanceView::ApplySamplingFlags() {
    session_->ApplySamplingFlags();
    samplingMode_ = settings()->SamplingMode();
}

void CPerformanceView::BuildColumns() {
    table_.BuildColumns(settings()->cpuType, settings()->simpleMode);
    taskList_->RebuildFromModel();
}

void CPerformanceView::ClearRows() {
    // A fresh table has no rows: nothing can read a row of the previous run any more.
    table_ = TaskTable();
    BuildColumns();
    emit tableChanged();
}

void CPerformanceView::RebuildRows() {
    if (session_ == nullptr)
        return;
    LogStatus("New Task Data received");
    const TaskTypeCounts counts = table_.RebuildRows(*data());
    SetBarText(&CPerformanceControlBar::taskCountEdit, counts.Text());
    taskList_->RebuildFromModel();
    RefreshStatistics();
}

void CPerformanceView::RefreshStatistics() {
    if (session_ == nullptr)
        return;
    table_.RefreshStatistics(*data(), StatisticsOptions{percentView_, settings()->externalTsMode,
                                                        settings()->armClockMhz});
    taskList_->RefreshFromModel();
    emit tableChanged();
}

void CPerformanceView::StopRefreshTimer() {
    refreshTimer_.stop();
    refreshArmed_.store(false);
}

void CPerformanceView::Teardown() {
    // A file being read is given up, one being saved finished, before the session goes.
    StopFileJob();
    // A pending Stop is finished by the shutdown below, which closes the collection.
    stopGraceTimer_.stop();
    cpuLoadTimer_.stop();
    StopRefreshTimer();
    if (session_ != nullptr) {
        // "Terminating", "Stop", receiver and endpoint off the links, collection closed: no link
        // thread reaches the store or this view once it returns.
        session_->controller().Shutdown();
    }
    ShowWaitCursor(false);
    // The list reads the table and the store while it paints; it goes before them.
    delete tableArea_;
    tableArea_ = nullptr;
    taskList_ = nullptr;
    session_.reset();
}

} // namespace zuta::performance
