#pragma once

#include "collection/CollectionView.h"
#include "collection/TaskTable.h"
#include "collection/ViewState.h"
#include "files/SessionFile.h"

#include <QTimer>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

class QAction;
class QLineEdit;
class QMenu;
class QMenuBar;
class QProgressDialog;
class QScrollArea;

namespace zuta {
class CPerformanceData;
class CollectionController;
class CollectionSession;
class MemoryStatsTable;
struct PerformanceSettings;
} // namespace zuta

namespace zuta::host {
class IHostWindow;
struct FileDialogRequest;
} // namespace zuta::host

namespace zuta::performance {

class CPerformanceControlBar;
class CPerformanceFrame;
class CSettingsDlg;
class CTaskTableWidget;

// Timers on the view, by their identifiers.
inline constexpr int kCpuLoadTimerId = 1537;
inline constexpr int kTableRefreshTimerId = 1538;
inline constexpr int kCpuLoadPeriodMs = 250;
inline constexpr int kTableRefreshDelayMs = 500;
// How long Stop lets the last batches of the link arrive before the collection is closed.
inline constexpr int kStopGraceMs = 500;

// The version of this module.
std::string ModuleVersionText();

// The module's window content: the live task table, with the menu "&Performance" above it unless
// the host shows that menu in its own menu bar. It holds the collection session of its document,
// shows the command state of a ViewState on the menu and the control bar, and runs the commands
// of the command table.
//
// Link threads reach it only through ICollectionView: every call is queued to the window thread.
class CPerformanceView : public QWidget, public ICollectionView {
    Q_OBJECT
public:
    // `host` null: the application's host window, found at the initial update.
    explicit CPerformanceView(CPerformanceFrame* frame, host::IHostWindow* host = nullptr);
    ~CPerformanceView() override;

    // Runs once, when the frame first shows the view.
    void OnInitialUpdate();
    bool initialUpdateDone() const { return initialUpdateDone_; }

    CPerformanceFrame* frame() const { return frame_; }
    host::IHostWindow* host() const { return host_; }

    // Start opens the link to the target off the window thread when it is closed; the collection
    // begins once it is open. Stop tells the target to stop at once (or abandons the opening) and
    // closes the collection after a grace period on the window's own timer.
    void OnStart();
    void OnStop();
    // Stop has been sent and the collection is not closed yet.
    bool stopPending() const { return stopGraceTimer_.isActive(); }
    // Starts the analyser of the settings' "VTune Exe Path" on the store's data file, after a
    // check of its version when it has one; says in a message box why it did not start.
    void OnRunVtune();
    // Runs a command of the command table when its rule enables it.
    void RunCommand(Command command);

    // Loads a session file (".zuta") or imports a raw log (".log") as the Load and Import
    // commands do after their dialogs; false when the file gave no data or is of another kind.
    // The file is read off the window thread, which meanwhile runs its events and, when the
    // reading takes long, a progress dialog with Cancel; the collection shown changes only when
    // the whole file was read.
    bool OpenDataFile(const std::string& path);
    // A file is being read (the commands wait for it).
    bool fileBusy() const { return fileJob_ != nullptr; }

    // The file commands: each asks for a path with the host's file dialog first.
    void OnSaveData();
    void OnLoadData();
    void OnImportRaw();
    void OnExportText();

    // Shows the settings dialog without waiting for it, modal on the view's window or not (the one
    // already open, if any); when it closes, what it changed reaches the store, the endpoint and
    // the table. Null without a collection session.
    CSettingsDlg* OpenSettingsDialog(bool modal);

    // Shows the command state on the menu, the bar and the table's header.
    void UpdateControls();
    void ShowWaitCursor(bool on);
    void LogStatus(std::string_view text);

    // ICollectionView, callable from any thread.
    void PostNotification(std::uint32_t command, std::uint32_t code) override;
    void RefreshTableNow() override;
    void RunNewTaskData() override;
    void ArmTableRefresh() override;

    // Window thread: a notification as the window receives it.
    void OnNotification(std::uint32_t command, std::uint32_t code);

    const ViewState& state() const { return state_; }
    const ViewFlags& flags() const { return state_.flags(); }
    bool fromRawLog() const { return state_.fromRawLog(); }
    std::uint32_t samplingMode() const { return samplingMode_; }
    int rowCount() const { return static_cast<int>(table_.rowCount()); }
    bool waitCursorShown() const { return waitCursorShown_; }
    bool refreshArmed() const { return refreshArmed_.load(); }

    // The collection of this view; null before the initial update and without a host.
    CollectionSession* session() const { return session_.get(); }
    CPerformanceData* data() const;
    PerformanceSettings* settings() const;
    MemoryStatsTable* memoryStats() const;
    CollectionController* controller() const;
    const TaskTable& taskTable() const { return table_; }
    // The names of the table's rows in their order, each the task its "Task ID" names: the task
    // lists of the graphs.
    std::vector<std::string> RowTaskNames() const;
    CTaskTableWidget* taskList() const { return taskList_; }
    QMenu* performanceMenu() const { return menu_; }
    // The action of a command in the menu "&Performance", or null (bar-only commands).
    QAction* menuAction(Command command) const;
    const QTimer& cpuLoadTimer() const { return cpuLoadTimer_; }
    const QTimer& tableRefreshTimer() const { return refreshTimer_; }
    const QTimer& stopGraceTimer() const { return stopGraceTimer_; }

signals:
    // The rows were rebuilt or their figures refreshed.
    void tableChanged();
    // A file began to be read or saved; `progress` is its dialog until the work ends.
    void fileJobStarted(QProgressDialog* progress);

protected:
    // Window thread, queued by the link threads' calls above.
    Q_INVOKABLE void DrainNotifications();
    Q_INVOKABLE void RebuildQueuedRows();
    Q_INVOKABLE void StartRefreshTimer();

    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildMenu();
    CPerformanceControlBar* controlBar() const;
    void SetBarText(QLineEdit* (CPerformanceControlBar::*edit)() const, const std::string& text);

    // Collection (ViewCollection.cpp).
    void ContinueStart(bool connected);
    void EnterCollecting();
    void FinishStop();
    void OnCpuLoadTimer();
    void OnRowClicked(std::uint32_t taskId);
    void OnRowDoubleClicked(std::uint32_t taskId, int column);

    // Task table.
    void ApplySamplingFlags();
    void BuildColumns();
    void RebuildRows();
    void RefreshStatistics();
    void ClearRows();
    void StopRefreshTimer();

    // Settings (ViewSettings.cpp).
    void AfterSettingsDialog(bool accepted, bool externalTsBefore, bool simpleModeBefore);

    // Files (ViewFiles.cpp).
    // Closed: the view is gone.
    enum class FileOutcome { Done, Failed, Cancelled, Closed };
    struct FileJob;
    using FileWork = std::function<bool(std::stop_token, const LoadProgress&)>;
    // False when the view was closed while the file was read.
    bool ReopenLastFile();
    FileOutcome OpenFile(const std::string& path, bool rawLog, bool reopening);
    // Runs `work` on a thread of its own while the window waits, with a progress dialog titled
    // `title` after a moment; Cancel asks the work to stop.
    FileOutcome RunFileWork(const std::string& label, const char* title, FileWork work,
                            bool stopOnClose = true);
    // Gives up a file being read, waits for one being saved, and waits until a replaced
    // collection is freed.
    void StopFileJob();
    std::optional<std::string> AskForFile(const host::FileDialogRequest& request, bool save);
    void ShowOpenedData(bool fromRawLog);
    // What the file reader found wrong without failing, on the output window.
    void LogWarnings(const std::vector<std::string>& warnings);
    void SetDocumentTitle(const std::string& prefix, std::string_view path);

    void Teardown();

    CPerformanceFrame* frame_;
    host::IHostWindow* host_;
    bool initialUpdateDone_ = false;

    std::unique_ptr<CollectionSession> session_;

    TaskTable table_;
    CTaskTableWidget* taskList_ = nullptr;
    QScrollArea* tableArea_ = nullptr;
    QMenuBar* menuBar_ = nullptr;
    QMenu* menu_ = nullptr;
    std::map<Command, QAction*> actions_;

    ViewState state_;
    std::uint32_t samplingMode_ = 0;
    bool percentView_ = false;
    bool quietVtuneNotice_ = false;
    bool waitCursorShown_ = false;

    QTimer cpuLoadTimer_;
    QTimer refreshTimer_;
    QTimer stopGraceTimer_;
    // Set by the link threads when they arm the refresh; cleared when the refresh ran.
    std::atomic<bool> refreshArmed_{false};
    // One queued rebuild at a time: a burst of new tasks rebuilds the rows once.
    std::atomic<bool> rebuildQueued_{false};
    // New task information asks the rebuild to stop the refresh timer first.
    std::atomic<bool> rebuildStopsRefresh_{false};
    // Notifications of the link threads waiting for the window thread.
    std::mutex postedMutex_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> posted_;
    std::atomic<bool> drainQueued_{false};
    // The file being read, while the window waits for it.
    std::shared_ptr<FileJob> fileJob_;
    // Frees the collection a file replaced.
    std::jthread disposer_;
};

} // namespace zuta::performance
