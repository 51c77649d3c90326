#include "Performance/PerformanceView.h"

#include "Performance/PerformanceControlBar.h"
#include "Performance/PerformanceDoc.h"
#include "Performance/PerformanceFrame.h"
#include "Performance/PerformanceManager.h"
#include "Performance/TaskTableWidget.h"
#include "collection/CollectionController.h"
#include "engine/MemoryStatsTable.h"
#include "engine/PerformanceData.h"
#include "files/RawLogImport.h"
#include "files/SessionFile.h"
#include "host/CommandLink.h"
#include "host/DataLink.h"
#include "host/HostWindow.h"
#include "host/MessageBox.h"
#include "host/OutputWindow.h"
#include "settings/PerformanceSettings.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScrollArea>
#include <QUrl>
#include <QVBoxLayout>
#include <charconv>
#include <filesystem>

namespace zuta::performance {

namespace {

std::string Decimal(std::uint64_t value) {
    char text[24];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string Fixed(double value, int precision) {
    char text[400];
    const auto [end, ec] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, precision);
    return ec == std::errc{} ? std::string(text, end) : std::string();
}

std::string ZeroPadded(unsigned value, int width) {
    std::string text = Decimal(value);
    if (static_cast<int>(text.size()) < width) {
        text.insert(0, static_cast<std::size_t>(width) - text.size(), '0');
    }
    return text;
}

std::string LowerExtension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return extension;
}

// The local files of a drag that the view can open.
std::string DroppedDataFile(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls()) {
        return {};
    }
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile()) {
            continue;
        }
        const std::string path = url.toLocalFile().toStdString();
        const std::string extension = LowerExtension(path);
        if (extension == ".zuta" || extension == ".log") {
            return path;
        }
    }
    return {};
}

} // namespace

std::string FormatModuleVersion(unsigned major, unsigned minor, unsigned patch, unsigned tweak) {
    return ZeroPadded(major, 3) + "." + ZeroPadded(minor, 2) + "." + ZeroPadded(patch, 2) + "." +
           ZeroPadded(tweak, 2);
}

std::string ModuleVersionText() {
    return FormatModuleVersion(ZUTA_VERSION_MAJOR, ZUTA_VERSION_MINOR, ZUTA_VERSION_PATCH,
                               ZUTA_VERSION_TWEAK);
}

std::string FormatSamplingDuration(std::uint32_t seconds) {
    return Decimal(seconds / 60) + ":" + Decimal(seconds % 60);
}

std::string FormatTickDuration(std::uint64_t ticks, double clockMhz) {
    if (clockMhz == 0.0) {
        // All 64 bits: a long collection at a high clock passes 2^32 ticks within seconds.
        return Decimal(ticks) + " HCLK";
    }
    const std::uint64_t millions = ticks / 1000000;
    if (millions == 0) {
        return Fixed(static_cast<double>(ticks) / clockMhz, 2) + " uSec";
    }
    return Fixed(static_cast<double>(millions) / clockMhz, 4) + " sec";
}

std::string SessionNameFromPath(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (const std::size_t dot = name.find('.'); dot != std::string_view::npos) {
        name = name.substr(0, dot);
    }
    return std::string(name);
}

// The links of a host without a target: nothing opens, so Start reports that the target is not
// connected and nothing is ever delivered.
class CPerformanceView::OfflineLink final : public host::ICommandLink, public host::IDataLink {
public:
    bool Open() override { return false; }
    bool IsOpen() const override { return false; }
    bool SendCommand(std::string_view, std::string_view, std::string_view, const std::uint8_t*,
                     std::size_t, std::uint32_t) override {
        return false;
    }
    bool SendRaw(std::uint32_t, const std::uint8_t*, std::size_t) override { return false; }
    void Attach(host::CommandLinkEndpoint*) override {}
    void Detach(host::CommandLinkEndpoint*) override {}
    void SetObserver(host::ILinkObserver*) override {}
    bool RegisterReceiver(host::DataLinkReceiveFn, host::DataLinkNotifyFn, std::uint32_t) override {
        return false;
    }
    void UnregisterReceiver() override {}
};

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

void CPerformanceView::BuildMenu() {
    menuBar_ = new QMenuBar(this);
    menu_ = menuBar_->addMenu(QStringLiteral("&Performance"));
    AddMenuAction(menu_, QStringLiteral("&Start"), Command::Start);
    AddMenuAction(menu_, QStringLiteral("S&top"), Command::Stop);
    menu_->addSeparator();
    QMenu* raw = menu_->addMenu(QStringLiteral("RAW Data"));
    AddMenuAction(raw, QStringLiteral("Save"), Command::SaveData);
    AddMenuAction(raw, QStringLiteral("Load"), Command::LoadData);
    AddMenuAction(raw, QStringLiteral("Export"), Command::ImportRawLog);
    QMenu* graph = menu_->addMenu(QStringLiteral("Graph"));
    AddMenuAction(graph, QStringLiteral("&Task Graph"), Command::TaskGraph);
    AddMenuAction(graph, QStringLiteral("&CPU Graph"), Command::CpuGraph);
    AddMenuAction(graph, QStringLiteral("&Function Graph"), Command::FunctionGraph);
    menu_->addSeparator();
    AddMenuAction(menu_, QStringLiteral("S&ettings"), Command::Settings);
    QMenu* names = menu_->addMenu(QStringLiteral("Names mapping"));
    AddMenuAction(names, QStringLiteral("IRQ Mapping"), Command::IrqMapping);
    AddMenuAction(names, QStringLiteral("Functions Names Mapping"), Command::FunctionNamesMapping);
}

QAction* CPerformanceView::AddMenuAction(QMenu* menu, const QString& text, Command command) {
    QAction* action = menu->addAction(text);
    action->setData(static_cast<unsigned>(command));
    connect(action, &QAction::triggered, this, [this, command] { RunCommand(command); });
    actions_[command] = action;
    return action;
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
    if (CPerformanceControlBar* bar = controlBar()) {
        (bar->*edit)()->setText(QString::fromStdString(text));
    }
}

void CPerformanceView::LogStatus(std::string_view text) {
    if (host_ != nullptr) {
        host_->OutputWindow().WriteStatusLine(text);
    }
}

void CPerformanceView::NotAvailable(std::string_view what) {
    LogStatus(std::string(what) + " is not available in this version");
}

void CPerformanceView::OnInitialUpdate() {
    if (initialUpdateDone_) {
        return;
    }
    initialUpdateDone_ = true;
    if (host_ == nullptr) {
        host_ = HostWindow();
    }
    if (host_ == nullptr) {
        // Without a host there is no settings store and no output: the view stays empty.
        return;
    }

    settings_ = std::make_unique<PerformanceSettings>();
    settings_->load(host_->SettingsStore());
    memoryStats_ = std::make_unique<MemoryStatsTable>();
    data_ = std::make_unique<CPerformanceData>();
    // The grace period after Stop runs on the view's timer: the store must not wait on the window
    // thread.
    data_->SetFinishDelay(std::chrono::milliseconds(0));
    CPerformanceData::Services services;
    services.settings = settings_.get();
    services.memoryStats = memoryStats_.get();
    services.notify = this;
    services.output = &host_->OutputWindow();
    services.settingsStore = &host_->SettingsStore();
    services.messageBox = &host_->MessageBox();
    data_->Initialise(services);
    // The counter scheme the session file header records is that of the view before the settings
    // were read.
    data_->SetCpuType(cpuType_);
    data_->SetIdleTaskName(settings_->idleTaskName);

    CollectionServices links;
    links.data = data_.get();
    links.settings = settings_.get();
    links.output = &host_->OutputWindow();
    links.commandLink = host_->CommandLink();
    links.dataLink = host_->DataLink();
    links.resolver = host_->SenderNameResolver();
    links.view = this;
    if (links.commandLink == nullptr || links.dataLink == nullptr) {
        offlineLink_ = std::make_unique<OfflineLink>();
        links.commandLink = offlineLink_.get();
        links.dataLink = offlineLink_.get();
    }
    controller_ = std::make_unique<CollectionController>(links);

    cpuType_ = settings_->cpuType;
    apdcLow_ = settings_->apdcLowAddress;
    apdcHigh_ = settings_->apdcHighAddress;
    percentView_ = settings_->percentView;
    ApplySamplingFlags();

    taskList_->SetTable(&table_);
    taskList_->SetColourSource(data_.get(), settings_->idleTaskName);
    taskList_->setShowGrid(true);
    taskList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    taskList_->horizontalHeader()->setSectionsMovable(true);
    BuildColumns();
    flags_ = ViewFlags{};
    flags_.canStart = true;
    flags_.canLoad = true;

    ConnectControlBar();
    // The host shows the menu in its own menu bar while the frame is active, as a frame's menu.
    if (frame_ != nullptr && host_->SetFrameMenu(static_cast<QWidget*>(frame_), menu_)) {
        menuBar_->hide();
    }
    UpdateControls();
    SetBarText(&CPerformanceControlBar::samplingDurationEdit, "na");
    SetBarText(&CPerformanceControlBar::userEventsEdit, "0");
    SetBarText(&CPerformanceControlBar::cpuLoadEdit, "0");

    ReopenLastFile();
    setAcceptDrops(true);
    SetBarText(&CPerformanceControlBar::versionEdit, ModuleVersionText());
}

void CPerformanceView::ConnectControlBar() {
    if (CPerformanceControlBar* bar = controlBar()) {
        bar->SetView(this);
    }
}

void CPerformanceView::ApplySamplingFlags() {
    data_->SetSimpleMode(settings_->simpleMode);
    data_->SetExternalTsMode(settings_->externalTsMode);
    samplingMode_ = settings_->SamplingMode();
}

void CPerformanceView::ReopenLastFile() {
    fromRawLog_ = false;
    const std::string path = settings_->lastOpenFile;
    if (path.empty()) {
        return;
    }
    // A path naming a raw log anywhere is one. Whatever it was, the reopened file is the session
    // of this window; the settings already name it.
    const bool rawLog = path.find(".log") != std::string::npos;
    std::string error;
    const bool opened =
        rawLog ? ImportRawLog(*data_, path, error) : LoadSessionFile(*data_, path, error);
    if (!opened) {
        LogStatus((rawLog ? "Cannot import " : "Cannot load ") + path + ": " + error);
        return;
    }
    fromRawLog_ = rawLog;
    ShowOpenedData();
    ShowLoadedDuration();
    SetBarText(&CPerformanceControlBar::userEventsEdit, Decimal(data_->GetUserEventCount()));
    SetDocumentTitle("ZUTA Session: ", path);
}

void CPerformanceView::ShowOpenedData() {
    flags_.canShowGraphs = true;
    flags_.canShowFunctionGraph = true;
    RebuildRows();
    UpdateControls();
}

void CPerformanceView::UpdateControls() {
    for (const Command command :
         {Command::Start, Command::Stop, Command::SaveData, Command::LoadData,
          Command::ImportRawLog, Command::TaskGraph, Command::CpuGraph, Command::FunctionGraph,
          Command::Settings, Command::IrqMapping, Command::FunctionNamesMapping}) {
        if (QAction* action = menuAction(command)) {
            action->setEnabled(IsEnabled(command));
        }
    }
    // Rows keep their order while a run fills them.
    taskList_->SetSortingEnabled(flags_.canStart);
    if (CPerformanceControlBar* bar = controlBar()) {
        bar->ShowFlags(flags_);
    }
}

void CPerformanceView::ShowWaitCursor(bool on) {
    if (on == waitCursorShown_) {
        return;
    }
    waitCursorShown_ = on;
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void CPerformanceView::OnStart() {
    if (controller_ == nullptr) {
        return;
    }
    // A Start during the grace period of a Stop closes that collection first.
    if (stopPending()) {
        FinishStop();
    }
    if (!flags_.canStart) {
        return;
    }
    // The controller resets the store and registers the receiver; when the target cannot be
    // reached it says so and the view stays as it was.
    if (!controller_->Start()) {
        return;
    }
    fromRawLog_ = false;
    flags_.canRunVtune = false;
    flags_.canShowFunctionGraph = false;
    flags_.canStart = false;
    flags_.canSave = false;
    flags_.canLoad = false;
    flags_.canShowGraphs = true;
    flags_.collecting = true;
    UpdateControls();
    ClearRows();
    SetBarText(&CPerformanceControlBar::samplingDurationEdit, "na");
    SetBarText(&CPerformanceControlBar::userEventsEdit, "0");
    SetBarText(&CPerformanceControlBar::cpuLoadEdit, "0");
    cpuLoadTimer_.start(1);
}

void CPerformanceView::OnStop() {
    if (controller_ == nullptr || !flags_.collecting) {
        return;
    }
    cpuLoadTimer_.stop();
    StopRefreshTimer();
    // Until the collection is closed nothing starts, opens or saves: those wait for the figures.
    flags_.canRunVtune = false;
    flags_.collecting = false;
    UpdateControls();
    // The agent is told now and the receiver leaves the link; what the agent still sends on the
    // command link is taken in until the grace period ends.
    controller_->RequestStop();
    stopGraceTimer_.start();
}

void CPerformanceView::FinishStop() {
    stopGraceTimer_.stop();
    flags_.canRunVtune = false;
    flags_.collecting = false;
    flags_.canShowGraphs = true;
    flags_.canShowFunctionGraph = true;
    flags_.canStart = true;
    flags_.canSave = true;
    flags_.canLoad = true;
    UpdateControls();
    // The store closes the collection without a wait of its own: the grace period was that wait.
    controller_->FinishStop();
    ShowStoppedFigures();
}

void CPerformanceView::ShowStoppedFigures() {
    SetBarText(&CPerformanceControlBar::samplingDurationEdit,
               FormatSamplingDuration(data_->GetSamplingDuration()));
    SetBarText(&CPerformanceControlBar::userEventsEdit, Decimal(data_->GetUserEventCount()));
    // The load timer stopped with Stop; the closed collection's load includes the last batches.
    SetBarText(&CPerformanceControlBar::cpuLoadEdit, Decimal(data_->GetCpuLoad()) + " %");
    RefreshStatistics();
}

bool CPerformanceView::IsEnabled(Command command) const {
    switch (command) {
    case Command::Start:
    case Command::Settings:
        return flags_.canStart;
    case Command::Stop:
        return flags_.collecting;
    case Command::SaveData:
    case Command::BarSaveData:
        return flags_.canSave;
    case Command::LoadData:
    case Command::BarLoadData:
    case Command::ImportRawLog:
    case Command::ExportToText:
        return flags_.canLoad;
    case Command::TaskGraph:
    case Command::BarTaskGraph:
    case Command::CpuGraph:
    case Command::BarCpuGraph:
        return flags_.canShowGraphs;
    case Command::FunctionGraph:
        return flags_.canShowFunctionGraph;
    case Command::BarFunctionGraph:
        return false;
    case Command::IrqMapping:
    case Command::FunctionNamesMapping:
        return true;
    case Command::ConvertToVtune:
        return flags_.canRunVtune;
    }
    return false;
}

namespace {

// The name under which a command's status lines speak of it.
std::string_view CommandName(Command command) {
    switch (command) {
    case Command::Start:
        return "Start";
    case Command::Stop:
        return "Stop";
    case Command::SaveData:
    case Command::BarSaveData:
        return "Save Data";
    case Command::LoadData:
    case Command::BarLoadData:
        return "Load Data";
    case Command::ImportRawLog:
        return "Import RAW";
    case Command::ExportToText:
        return "Export to txt";
    case Command::TaskGraph:
    case Command::BarTaskGraph:
        return "Task Graph";
    case Command::CpuGraph:
    case Command::BarCpuGraph:
        return "CPU Graph";
    case Command::FunctionGraph:
    case Command::BarFunctionGraph:
        return "Function Graph";
    case Command::Settings:
        return "Settings";
    case Command::IrqMapping:
        return "IRQ Mapping";
    case Command::FunctionNamesMapping:
        return "Functions Names Mapping";
    case Command::ConvertToVtune:
        return "Convert to VTune";
    }
    return "";
}

} // namespace

void CPerformanceView::RunCommand(Command command) {
    if (command == Command::Start) {
        OnStart();
    } else if (command == Command::Stop) {
        OnStop();
    } else if (IsEnabled(command)) {
        // The dialogs behind these commands come with later versions.
        NotAvailable(CommandName(command));
    }
}

void CPerformanceView::OnCpuLoadTimer() {
    if (data_ == nullptr) {
        return;
    }
    SetBarText(&CPerformanceControlBar::cpuLoadEdit, Decimal(data_->GetCpuLoad()) + " %");
    SetBarText(&CPerformanceControlBar::userEventsEdit, Decimal(data_->GetUserEventCount()));
    cpuLoadTimer_.setInterval(kCpuLoadPeriodMs);
}

void CPerformanceView::BuildColumns() {
    table_.BuildColumns(cpuType_, settings_->simpleMode);
    taskList_->RebuildFromModel();
}

void CPerformanceView::ClearRows() {
    // A fresh table has no rows: nothing can read a row of the previous run any more.
    table_ = TaskTable();
    rowCount_ = 0;
    BuildColumns();
    emit tableChanged();
}

void CPerformanceView::RebuildRows() {
    if (data_ == nullptr) {
        return;
    }
    LogStatus("New Task Data received");
    const TaskTypeCounts counts = table_.RebuildRows(*data_);
    rowCount_ = static_cast<int>(table_.rowCount());
    SetBarText(&CPerformanceControlBar::taskCountEdit, counts.Text());
    taskList_->RebuildFromModel();
    RefreshStatistics();
}

void CPerformanceView::RefreshStatistics() {
    if (data_ == nullptr) {
        return;
    }
    table_.RefreshStatistics(
        *data_, StatisticsOptions{percentView_, settings_->externalTsMode, settings_->armClockMhz});
    taskList_->RefreshFromModel();
    emit tableChanged();
}

void CPerformanceView::StopRefreshTimer() {
    refreshTimer_.stop();
    refreshArmed_.store(false);
}

void CPerformanceView::PostNotification(std::uint32_t command, std::uint32_t code) {
    QMetaObject::invokeMethod(
        this, [this, command, code] { OnNotification(command, code); }, Qt::QueuedConnection);
}

void CPerformanceView::RefreshTableNow() {
    if (rebuildQueued_.exchange(true)) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            rebuildQueued_.store(false);
            StopRefreshTimer();
            RebuildRows();
        },
        Qt::QueuedConnection);
}

void CPerformanceView::RunNewTaskData() {
    if (rebuildQueued_.exchange(true)) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            rebuildQueued_.store(false);
            RebuildRows();
        },
        Qt::QueuedConnection);
}

void CPerformanceView::ArmTableRefresh() {
    // One request in flight at a time: a burst of batches costs one queued call.
    if (refreshArmed_.exchange(true)) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!flags_.collecting) {
                refreshArmed_.store(false);
                return;
            }
            if (!refreshTimer_.isActive()) {
                refreshTimer_.start();
            }
        },
        Qt::QueuedConnection);
}

void CPerformanceView::OnNotification(std::uint32_t command, std::uint32_t code) {
    if (command == host::kNotifyShowTcb) {
        NotAvailable("Task Control Block viewer");
        return;
    }
    if (command != host::kNotifyStatus || controller_ == nullptr) {
        return;
    }
    switch (code) {
    case host::kCodeVtuneFileCreated:
        ShowWaitCursor(false);
        if (!quietVtuneNotice_) {
            LogStatus("VTune data file created");
            host_->MessageBox().Show("VTune data file created", "ZUTA",
                                     host::MessageIcon::Information);
        }
        flags_.canStart = true;
        flags_.canRunVtune = true;
        UpdateControls();
        return;
    case host::kCodeCorruptedData:
        // Several bad batches may be queued; the first one ends the collection.
        if (flags_.collecting) {
            OnStop();
            LogStatus("Corrupted data received");
        }
        return;
    case host::kCodeNewTaskData:
        RebuildRows();
        return;
    case host::kCodeSamplingFlagsChanged:
        ApplySamplingFlags();
        BuildColumns();
        RebuildRows();
        return;
    case host::kCodeLinkClosed:
        // What arrived before the link went away stays; Start opens the link again.
        if (flags_.collecting) {
            LogStatus("Target link lost");
            OnStop();
        }
        return;
    default:
        controller_->HandleStatusNotification(code);
        return;
    }
}

void CPerformanceView::OnRowClicked(std::uint32_t taskId) {
    if (flags_.collecting && controller_ != nullptr) {
        controller_->SendTaskInfoRequest(taskId);
    }
}

void CPerformanceView::OnRowDoubleClicked(std::uint32_t) {
    NotAvailable("Distribution charts");
}

void CPerformanceView::ShowLoadedDuration() {
    const std::uint64_t ticks = data_->Read([](const StoreState& s) { return s.sumTicks; });
    const double clock =
        settings_->externalTsMode ? 10000.0 : static_cast<double>(settings_->armClockMhz);
    SetBarText(&CPerformanceControlBar::samplingDurationEdit, FormatTickDuration(ticks, clock));
}

void CPerformanceView::SetDocumentTitle(const std::string& format, std::string_view path) {
    if (frame_ == nullptr || frame_->document() == nullptr) {
        return;
    }
    frame_->document()->SetTitle(QString::fromStdString(format + SessionNameFromPath(path)));
}

bool CPerformanceView::OpenDataFile(const std::string& path) {
    if (data_ == nullptr || !flags_.canLoad) {
        return false;
    }
    const std::string extension = LowerExtension(path);
    if (extension == ".log") {
        return ImportLog(path);
    }
    if (extension == ".zuta") {
        return LoadSession(path);
    }
    LogStatus("Cannot open " + path + ": neither a session file (.zuta) nor a raw log (.log)");
    return false;
}

bool CPerformanceView::LoadSession(const std::string& path) {
    ShowWaitCursor(true);
    fromRawLog_ = false;
    std::string error;
    const bool loaded = LoadSessionFile(*data_, path, error);
    if (loaded) {
        ShowOpenedData();
        ShowLoadedDuration();
        SetBarText(&CPerformanceControlBar::userEventsEdit, Decimal(data_->GetUserEventCount()));
        settings_->lastOpenFile = path;
        settings_->save(host_->SettingsStore());
        SetDocumentTitle("ZUTA Session: ", path);
    } else {
        LogStatus("Cannot load " + path + ": " + error);
    }
    ShowWaitCursor(false);
    return loaded;
}

bool CPerformanceView::ImportLog(const std::string& path) {
    fromRawLog_ = true;
    ShowWaitCursor(true);
    std::string error;
    const bool imported = ImportRawLog(*data_, path, error);
    if (imported) {
        ShowOpenedData();
        SetBarText(&CPerformanceControlBar::samplingDurationEdit, "NA");
        SetBarText(&CPerformanceControlBar::userEventsEdit, "0");
        settings_->lastOpenFile = path;
        settings_->save(host_->SettingsStore());
        SetDocumentTitle("Exported Session: ", path);
    } else {
        LogStatus("Cannot import " + path + ": " + error);
    }
    ShowWaitCursor(false);
    return imported;
}

void CPerformanceView::dragEnterEvent(QDragEnterEvent* event) {
    if (data_ != nullptr && flags_.canLoad && !DroppedDataFile(event->mimeData()).empty()) {
        event->acceptProposedAction();
        return;
    }
    event->ignore();
}

void CPerformanceView::dropEvent(QDropEvent* event) {
    const std::string path = DroppedDataFile(event->mimeData());
    if (path.empty() || data_ == nullptr || !flags_.canLoad) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    OpenDataFile(path);
}

void CPerformanceView::Teardown() {
    // A pending Stop is finished by the shutdown below, which closes the collection.
    stopGraceTimer_.stop();
    cpuLoadTimer_.stop();
    StopRefreshTimer();
    if (controller_ != nullptr) {
        // The links are off before the collection is closed, so no late batch can come that the
        // store's wait would let in.
        data_->SetFinishDelay(std::chrono::milliseconds(0));
        // "Terminating", "Stop", receiver and endpoint off the links, collection closed: no link
        // thread reaches the store or this view once it returns.
        controller_->Shutdown();
        controller_.reset();
    }
    ShowWaitCursor(false);
    // The list reads the table and the store while it paints; it goes before them.
    delete tableArea_;
    tableArea_ = nullptr;
    taskList_ = nullptr;
    data_.reset();
    offlineLink_.reset();
    memoryStats_.reset();
    settings_.reset();
}

} // namespace zuta::performance
