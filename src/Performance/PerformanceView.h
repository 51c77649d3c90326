#pragma once

#include "collection/CollectionView.h"
#include "collection/TaskTable.h"

#include <QTimer>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

class QAction;
class QLineEdit;
class QMenu;
class QMenuBar;
class QScrollArea;

namespace zuta {
class CPerformanceData;
class CollectionController;
class MemoryStatsTable;
struct PerformanceSettings;
} // namespace zuta

namespace zuta::host {
class IHostWindow;
}

namespace zuta::performance {

class CPerformanceControlBar;
class CPerformanceFrame;
class CTaskTableWidget;

// Which commands of the module are enabled; a change is shown by UpdateControls.
struct ViewFlags {
    bool canStart = false;             // Start and Settings
    bool collecting = false;           // Stop; a run is active
    bool canShowGraphs = false;        // Task Graph and CPU Graph
    bool canShowFunctionGraph = false; // Function Graph
    bool canSave = false;              // Save
    bool canLoad = true;               // Load, Import and Export to text
    bool canRunVtune = false;          // Convert to VTune

    bool operator==(const ViewFlags&) const = default;
};

// The commands of the module's menu and control bar, by their command identifiers.
enum class Command : std::uint32_t {
    Start = 32772,
    Stop = 32773,
    TaskGraph = 32774,
    Settings = 32775,
    SaveData = 32777,
    LoadData = 32778,
    ConvertToVtune = 32779,
    BarSaveData = 32780,
    BarLoadData = 32781,
    CpuGraph = 32784,
    IrqMapping = 32786,
    BarTaskGraph = 32787,
    BarCpuGraph = 32788,
    BarFunctionGraph = 32789,
    FunctionGraph = 32790,
    FunctionNamesMapping = 32792,
    ImportRawLog = 32793,
    ExportToText = 32794,
};

// Timers on the view, by their identifiers.
inline constexpr int kCpuLoadTimerId = 1537;
inline constexpr int kTableRefreshTimerId = 1538;
inline constexpr int kCpuLoadPeriodMs = 250;
inline constexpr int kTableRefreshDelayMs = 500;
// How long Stop lets the last batches of the link arrive before the collection is closed.
inline constexpr int kStopGraceMs = 500;

// "%03d.%02d.%02d.%02d", most significant part first.
std::string FormatModuleVersion(unsigned major, unsigned minor, unsigned patch, unsigned tweak);
// The version of this module.
std::string ModuleVersionText();
// "%d:%d" minutes and seconds, no zero padding.
std::string FormatSamplingDuration(std::uint32_t seconds);
// The length of a loaded collection from its total ticks: "%llu HCLK" for a clock of 0,
// "%.2f uSec" below a million ticks, else "%.4f sec" of the whole millions divided by the clock.
std::string FormatTickDuration(std::uint64_t ticks, double clockMhz);
// The file name of a path without its folder (either separator) and without anything from its
// first ".".
std::string SessionNameFromPath(std::string_view path);

// The module's window content: the live task table, with the menu "&Performance" above it unless
// the host shows that menu in its own menu bar. It owns everything of a collection (settings
// record, collector endpoint, memory statistics table, data store), runs the commands of the menu
// and the control bar, keeps their enable state and writes the session details on the bar.
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

    // The commands; each does nothing while its flag disables it. Stop tells the target to stop at
    // once and closes the collection after a grace period on the window's own timer, so the
    // window keeps running meanwhile.
    void OnStart();
    void OnStop();
    // Stop has been sent and the collection is not closed yet.
    bool stopPending() const { return stopGraceTimer_.isActive(); }
    void RunCommand(Command command);

    // Loads a session file (".zuta") or imports a raw log (".log") as the Load and Import
    // commands do after their dialogs; false when the file gave no data or is of another kind.
    bool OpenDataFile(const std::string& path);

    // Shows the flags on the menu, the bar and the table's header.
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

    const ViewFlags& flags() const { return flags_; }
    bool fromRawLog() const { return fromRawLog_; }
    std::uint32_t samplingMode() const { return samplingMode_; }
    int rowCount() const { return rowCount_; }
    bool waitCursorShown() const { return waitCursorShown_; }
    bool refreshArmed() const { return refreshArmed_.load(); }

    CPerformanceData* data() const { return data_.get(); }
    PerformanceSettings* settings() const { return settings_.get(); }
    MemoryStatsTable* memoryStats() const { return memoryStats_.get(); }
    CollectionController* controller() const { return controller_.get(); }
    const TaskTable& taskTable() const { return table_; }
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

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    class OfflineLink;

    void BuildMenu();
    QAction* AddMenuAction(QMenu* menu, const QString& text, Command command);
    void ConnectControlBar();
    CPerformanceControlBar* controlBar() const;
    void SetBarText(QLineEdit* (CPerformanceControlBar::*edit)() const, const std::string& text);

    void ApplySamplingFlags();
    void BuildColumns();
    void RebuildRows();
    void RefreshStatistics();
    void ClearRows();
    void StopRefreshTimer();
    void FinishStop();
    void ShowStoppedFigures();
    void OnCpuLoadTimer();
    void OnRowClicked(std::uint32_t taskId);
    void OnRowDoubleClicked(std::uint32_t taskId);
    void ShowLoadedDuration();
    void SetDocumentTitle(const std::string& format, std::string_view path);
    void ShowOpenedData();
    bool LoadSession(const std::string& path);
    bool ImportLog(const std::string& path);
    void ReopenLastFile();
    void NotAvailable(std::string_view what);
    // Whether a command may run now: the enabling rules of the menu and the control bar.
    bool IsEnabled(Command command) const;
    void Teardown();

    CPerformanceFrame* frame_;
    host::IHostWindow* host_;
    bool initialUpdateDone_ = false;

    std::unique_ptr<PerformanceSettings> settings_;
    std::unique_ptr<MemoryStatsTable> memoryStats_;
    std::unique_ptr<CPerformanceData> data_;
    std::unique_ptr<OfflineLink> offlineLink_;
    std::unique_ptr<CollectionController> controller_;

    TaskTable table_;
    CTaskTableWidget* taskList_ = nullptr;
    QScrollArea* tableArea_ = nullptr;
    QMenuBar* menuBar_ = nullptr;
    QMenu* menu_ = nullptr;
    std::map<Command, QAction*> actions_;

    ViewFlags flags_;
    std::uint32_t cpuType_ = 1;
    std::uint32_t apdcLow_ = 0;
    std::uint32_t apdcHigh_ = 0;
    std::uint32_t samplingMode_ = 0;
    int rowCount_ = 0;
    bool percentView_ = false;
    bool quietVtuneNotice_ = false;
    bool fromRawLog_ = false;
    bool waitCursorShown_ = false;

    QTimer cpuLoadTimer_;
    QTimer refreshTimer_;
    QTimer stopGraceTimer_;
    // Set by the link threads when they arm the refresh; cleared when the refresh ran.
    std::atomic<bool> refreshArmed_{false};
    // One queued rebuild at a time: a burst of new tasks rebuilds the rows once.
    std::atomic<bool> rebuildQueued_{false};
};

} // namespace zuta::performance
