// The performance view and its control bar in a host of their own: the controls following the
// command table, the notifications, the file reopening and drops, collections from the simulated
// target over loopback links, several documents at once; the file commands through a scripted
// file dialog and message box (Save, Load, Import and the text export, their failures and
// cancelled loads), and the analyser launched on the data file made for it.
#include "Performance/PerformanceView.h"

#include "Performance/CpuUsageGraphDlg.h"
#include "Performance/TaskGraphDlg.h"
#include "Performance/TaskInfoDlg.h"
#include "Performance/TaskTableWidget.h"
#include "Performance/ViewCommands.h"
#include "QtProcessLauncher.h"
#include "ViewHost.h"
#include "engine/MemoryStatsTable.h"
#include "engine/PerformanceData.h"
#include "engine/WireFormat.h"
#include "files/TextExport.h"
#include "host/NotificationSink.h"
#include "namemaps/FunctionNameMap.h"
#include "support/SilentTarget.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <array>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <latch>
#include <sstream>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace zuta::performance {
namespace {

using test::kDataDir;
using test::LastFile;
using test::PumpUntil;
using test::Target;
using ViewRig = test::ViewInHost;
using RigOptions = test::ViewOptions;

// canStart, collecting, canShowGraphs, canShowFunctionGraph, canSave, canLoad, canRunVtune.
const ViewFlags kInitialNoFile{true, false, false, false, false, true, false};
const ViewFlags kInitialWithFile{true, false, true, true, false, true, false};
const ViewFlags kCollecting{false, true, true, false, false, false, false};
const ViewFlags kStopped{true, false, true, true, true, true, false};
// Stop sent, collection not closed yet: nothing can be started, opened or saved.
const ViewFlags kStopping{false, false, true, false, false, false, false};

// Every menu entry and bar control shows what the command table's rule says of the view's state.
void ExpectControlsFollowTheTable(const ViewRig& rig) {
    const CPerformanceView& view = *rig.view;
    const CPerformanceControlBar& bar = rig.bar();
    const std::map<Command, const QAction*> barActions = {
        {Command::BarSaveData, bar.saveDataAction()},
        {Command::BarLoadData, bar.loadDataAction()},
        {Command::ImportRawLog, bar.importRawAction()},
        {Command::ExportToText, bar.exportTextAction()},
        {Command::BarTaskGraph, bar.taskGraphAction()},
        {Command::BarCpuGraph, bar.cpuGraphAction()},
        {Command::BarFunctionGraph, bar.functionGraphAction()}};
    const std::map<Command, const QAbstractButton*> barButtons = {
        {Command::Start, bar.startButton()},
        {Command::Stop, bar.stopButton()},
        {Command::Settings, bar.settingsButton()},
        {Command::ConvertToVtune, bar.runVtuneButton()}};
    for (const ViewCommand& row : ViewCommands()) {
        SCOPED_TRACE(std::string(row.name));
        const bool enabled = view.state().IsEnabled(row.rule);
        if (!row.menuPath.empty()) {
            ASSERT_NE(view.menuAction(row.command), nullptr);
            EXPECT_EQ(view.menuAction(row.command)->isEnabled(), enabled);
        }
        if (const auto a = barActions.find(row.command); a != barActions.end()) {
            EXPECT_EQ(a->second->isEnabled(), enabled);
        }
        if (const auto b = barButtons.find(row.command); b != barButtons.end()) {
            EXPECT_EQ(b->second->isEnabled(), enabled);
        }
    }
    EXPECT_EQ(view.taskList()->sortingEnabled(), view.flags().canStart);
}

// Files reopened at start-up or dropped onto the view: session files and raw logs are taken.
TEST(PerformanceView, ReopeningAndDroppingFiles) {
    struct Case {
        const char* lastFile; // reopened at start-up; null: nothing
        const char* dropped;  // then dropped onto the view; null: nothing
        bool taken;           // the drop was accepted
        const char* title;
        int rows;
        bool fromRawLog;
        const char* statusPrefix; // a line that starts so; null: none expected
    };
    const Case cases[] = {
        {"session_v2.zuta", nullptr, false, "ZUTA Session: session_v2", 3, false, nullptr},
        // Reopened, a raw log is shown as any session.
        {"boot.log", nullptr, false, "ZUTA Session: boot", 6, true, nullptr},
        {"session_v2.zuta", "boot.log", true, "Exported Session: boot", 6, true, nullptr},
        {"session_v2.zuta", "session_v2.zuta", true, "ZUTA Session: session_v2", 3, false, nullptr},
        {"no_such_file.log", nullptr, false, "Zutascope", 0, false, "Cannot import "},
        // A file that ends early loads what it holds and says so.
        {nullptr, "bad/truncated.zuta", true, "ZUTA Session: truncated", 2, false, "Warning: '"},
        {nullptr, "../host/notes.txt", false, "Zutascope", 0, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.lastFile ? c.lastFile : "-") + " then " +
                     (c.dropped ? c.dropped : "-"));
        ViewRig rig(c.lastFile != nullptr ? LastFile(c.lastFile) : RigOptions{});
        if (c.dropped != nullptr) {
            QMimeData mime;
            mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(kDataDir + c.dropped))});
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton,
                                  Qt::NoModifier);
            QApplication::sendEvent(rig.view, &enter);
            EXPECT_EQ(enter.isAccepted(), c.taken);
            QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(rig.view, &drop);
            test::RunPostedEvents();
        }
        EXPECT_EQ(rig.Title(), c.title);
        EXPECT_EQ(rig.frame->windowTitle(), c.title);
        EXPECT_EQ(rig.view->fromRawLog(), c.fromRawLog);
        EXPECT_EQ(rig.view->rowCount(), c.rows);
        EXPECT_EQ(rig.view->flags(), rig.view->rowCount() > 0 ? kInitialWithFile : kInitialNoFile);
        ExpectControlsFollowTheTable(rig);
        EXPECT_TRUE(c.statusPrefix == nullptr ||
                    std::ranges::any_of(rig.host.output.Status(), [&](const std::string& line) {
                        return line.starts_with(c.statusPrefix);
                    }));
    }
}

// Start without a target says so and leaves the loaded session as it was; at a target that never
// answers it never blocks the window.
TEST(PerformanceView, StartWithoutOrAtASilentTargetNeverBlocksTheWindow) {
    test::SilentTarget silent;
    ViewRig rig(LastFile("session_v2.zuta"));
    rig.bar().startButton()->click();
    ASSERT_TRUE(
        PumpUntil([&] { return rig.host.output.CountStatus("Target not connected") == 1; }));
    test::RunPostedEvents();
    EXPECT_EQ(rig.view->flags(), kInitialWithFile);
    ExpectControlsFollowTheTable(rig);
    EXPECT_FALSE(rig.view->cpuLoadTimer().isActive());
    // The loaded session's details stay: one task, HISR and IRQ (the function gets no row), 14020
    // ticks at 200 MHz.
    EXPECT_EQ(rig.view->rowCount(), 3);
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::taskCountEdit), "1 / 1 / 1");
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::userEventsEdit), "1");
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::samplingDurationEdit), "70.10 uSec");

    link::HostLink hostLink(link::TcpLinkOpener("127.0.0.1", silent.port()));
    rig.host.link = &hostLink;
    // The link is taken at the initial update: a second view (reopening the same file) gets this
    // one.
    ViewRig second(RigOptions{}, &rig);
    CPerformanceView& view = *second.view;

    const auto before = std::chrono::steady_clock::now();
    view.OnStart();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
    EXPECT_EQ(view.state().phase(), ViewPhase::Connecting);
    ExpectControlsFollowTheTable(second);

    // Stop abandons the attempt; its late outcome changes nothing.
    second.bar().stopButton()->click();
    EXPECT_EQ(view.state().phase(), ViewPhase::Idle);
    EXPECT_EQ(view.flags(), kInitialWithFile);
    test::RunPostedEvents();

    // The attempt ends by itself within the time limit.
    view.OnStart();
    ASSERT_TRUE(PumpUntil([&] { return view.state().phase() == ViewPhase::Idle; },
                          std::chrono::seconds(15)));
    EXPECT_EQ(second.host.output.CountStatus("Target not connected"), 2U);
    EXPECT_EQ(view.flags(), kInitialWithFile);

    // Closing the view during an attempt is safe and does not wait for it.
    view.OnStart();
    const auto closing = std::chrono::steady_clock::now();
    delete second.frame;
    second.frame = nullptr;
    EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::seconds(2));
    hostLink.Close();
}

// Every task of the store has the figures the target counted.
void ExpectTheTargetsFigures(const ViewRig& rig) {
    const agent::GroundTruth truth = rig.agent->Truth();
    for (const auto& [id, expected] : truth.tasks) {
        TaskRecord task;
        ASSERT_TRUE(rig.view->data()->GetTaskById(id, task)) << id;
        EXPECT_EQ(task.runs, expected.runs) << task.name;
        EXPECT_EQ(task.ticks, expected.ticks) << task.name;
        EXPECT_EQ(task.sumValue0, expected.sumValue0) << task.name;
    }
    EXPECT_EQ(rig.view->data()->GetCpuLoad(), truth.CpuLoad());
}

// The value of the row naming `field`.
std::string Value(const CTaskInfoDlg& dialog, std::string_view field) {
    const QTableWidget& list = *dialog.list();
    for (int r = 0; r < list.rowCount(); ++r)
        if (list.item(r, 0)->text().toStdString() == field)
            return list.item(r, 1)->text().toStdString();
    return "(no row)";
}

// A collection from the simulated target fills the table, and a click on a task asks the target
// for its control block; Stop returns at once and the window keeps running while the last batches
// arrive.
TEST(PerformanceView, CollectsFromTheSimulatedTargetIntoTheTable) {
    RigOptions options = Target();
    options.lastOpenFile = kDataDir + "session_v2.zuta";
    ViewRig rig(options);
    CPerformanceView& view = *rig.view;
    ASSERT_EQ(view.rowCount(), 3);
    rig.bar().startButton()->click();
    ASSERT_TRUE(PumpUntil([&] { return view.flags().collecting; }));
    EXPECT_EQ(view.flags(), kCollecting);
    ExpectControlsFollowTheTable(rig);
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::samplingDurationEdit), "na");
    EXPECT_TRUE(view.cpuLoadTimer().isActive());
    EXPECT_EQ(rig.host.output.CountStatus("DC Started"), 1U);

    // Files cannot be dropped onto a running collection.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(kDataDir + "session_v2.zuta"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &enter);
    EXPECT_FALSE(enter.isAccepted());

    rig.StreamAll();
    const agent::GroundTruth truth = rig.agent->Truth();
    std::size_t rowsExpected = 0;
    for (const auto& [id, task] : truth.tasks)
        rowsExpected += task.type <= kTypeIrq;
    // The rows follow the store's new tasks; the figures follow the refresh timer.
    ASSERT_TRUE(PumpUntil([&] { return view.rowCount() == static_cast<int>(rowsExpected); }));
    EXPECT_GE(rig.host.output.CountStatus("New Task Data received"), 1U);
    const std::string load = std::to_string(truth.CpuLoad()) + " %";
    EXPECT_TRUE(
        PumpUntil([&] { return rig.BarText(&CPerformanceControlBar::cpuLoadEdit) == load; }));
    EXPECT_TRUE(PumpUntil([&] { return view.taskTable().row(0).runs > 0; }));

    // A click on a task that ran shows the target's control block of it.
    TaskRow task;
    for (std::size_t r = 0; r < view.taskTable().rowCount() && task.runs == 0; ++r)
        if (view.data()->GetTaskType(view.taskTable().row(r).id) == kTypeTask)
            task = view.taskTable().row(r);
    ASSERT_GT(task.runs, 0U);
    emit view.taskList()->rowClicked(task.id);
    CTaskInfoDlg* dialog = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (dialog = view.findChild<CTaskInfoDlg*>()) != nullptr; }));
    EXPECT_TRUE(dialog->isModal());
    EXPECT_NEAR(dialog->windowOpacity(), 230.0 / 255.0, 0.005);
    // Even rows are shaded, odd ones keep the list's background.
    EXPECT_EQ(dialog->list()->item(0, 1)->background().color(), QColor(220, 220, 254));
    EXPECT_EQ(dialog->list()->item(1, 0)->background().style(), Qt::NoBrush);
    EXPECT_EQ(Value(*dialog, "tc_name"), task.name.substr(0, 8));
    EXPECT_EQ(Value(*dialog, "tc_status").rfind("UNKNOWN", 0), std::string::npos);
    EXPECT_NE(Value(*dialog, "tc_scheduled"), "0");
    dialog->close();

    // Whatever the load timer showed last, the bar gets the load of the closed collection.
    rig.bar().cpuLoadEdit()->setText(QStringLiteral("0"));

    // An event of the window queued before Stop.
    bool fired = false;
    bool pendingWhenFired = false;
    QTimer::singleShot(0, &view, [&] {
        fired = true;
        pendingWhenFired = view.stopPending();
    });
    const std::size_t sent = rig.host.output.CountStatus("Send Data to the Target");
    rig.bar().stopButton()->click();
    // Stop returns at once: "Stop" is on its way, the collection is still open.
    EXPECT_FALSE(fired);
    EXPECT_EQ(view.flags(), kStopping);
    ExpectControlsFollowTheTable(rig);
    EXPECT_TRUE(view.stopPending());
    EXPECT_EQ(rig.host.output.CountStatus("Send Data to the Target"), sent + 1);
    // A second Stop during the grace period does nothing.
    view.OnStop();
    EXPECT_EQ(rig.host.output.CountStatus("Send Data to the Target"), sent + 1);
    ASSERT_TRUE(PumpUntil([&] { return fired; }));
    EXPECT_TRUE(pendingWhenFired);
    rig.FinishStop();
    EXPECT_EQ(view.flags(), kStopped);
    ExpectControlsFollowTheTable(rig);
    EXPECT_FALSE(view.cpuLoadTimer().isActive());
    EXPECT_FALSE(view.tableRefreshTimer().isActive());
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::userEventsEdit),
              std::to_string(truth.userEventCount));
    test::RunPostedEvents();
    ASSERT_EQ(view.rowCount(), static_cast<int>(rowsExpected));
    ExpectTheTargetsFigures(rig);
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::cpuLoadEdit), load);
    EXPECT_TRUE(PumpUntil([&] { return rig.AgentGot(wire::kCmdStop); }));
}

// Two documents collect from two targets at once. A target serves one collection at a time: a third
// document on the first target hears its messages without taking them, Start in it says so once
// and changes nothing, and closing it leaves the collection alone.
TEST(PerformanceViewDocuments, DocumentsCollectFromTheirTargetsOneCollectionEach) {
    RigOptions second = Target(0.5, 4.0);
    second.target->seed = 11;
    ViewRig a(Target(0.5, 4.0));
    ViewRig b(second);
    auto third = std::make_unique<ViewRig>(RigOptions{}, &a);
    a.Start();
    b.Start();
    ASSERT_TRUE(PumpUntil([&] {
        return a.view->controller()->endpoint().started() &&
               b.view->controller()->endpoint().started();
    }));
    third->view->OnStart();
    ASSERT_TRUE(PumpUntil([&] {
        return a.host.output.CountStatus("The target link is in use by another collection") == 1;
    }));
    test::RunPostedEvents();
    EXPECT_EQ(third->view->flags(), kInitialNoFile);
    a.agent->ReleaseStream();
    b.agent->ReleaseStream();
    for (ViewRig* rig : {&a, &b}) {
        ASSERT_TRUE(rig->agent->WaitStreamEnded(std::chrono::seconds(10)));
        ASSERT_TRUE(PumpUntil(
            [&] { return rig->link->dataBytesDelivered() == rig->agent->streamBytesSent(); }));
        third.reset();
        EXPECT_EQ(rig->view->flags(), kCollecting);
        rig->view->OnStop();
    }
    a.FinishStop();
    b.FinishStop();
    ExpectTheTargetsFigures(a);
    ExpectTheTargetsFigures(b);
}

TEST(PerformanceView, TheUsersColumnWidthsStayUntilTheColumnsChange) {
    ViewRig rig(LastFile("session_v2.zuta"));
    QHeaderView* header = rig.view->taskList()->horizontalHeader();
    header->resizeSection(0, 333);
    ASSERT_TRUE(rig.view->OpenDataFile(kDataDir + "session_v3_crlf.zuta"));
    rig.view->PostNotification(host::kNotifyStatus, host::kCodeNewTaskData);
    test::RunPostedEvents();
    EXPECT_EQ(header->sectionSize(0), 333);

    // Another column set gets the table's own widths.
    rig.view->settings()->simpleMode = true;
    rig.view->PostNotification(host::kNotifyStatus, host::kCodeSamplingFlagsChanged);
    test::RunPostedEvents();
    EXPECT_EQ(rig.view->taskList()->model()->columnCount(), 4);
    EXPECT_EQ(rig.view->rowCount(), 3);
    EXPECT_NE(header->sectionSize(0), 333);
}

// The stopped collection is closed first, telling of the blocks its stream lost.
TEST(PerformanceViewStop, StartDuringTheGracePeriodClosesTheStoppedCollectionFirst) {
    RigOptions options = Target();
    options.target->faults.push_back({agent::FaultKind::Drop, 0.1});
    ViewRig rig(options);
    CPerformanceView& view = *rig.view;
    rig.CollectAll();
    view.OnStop();
    ASSERT_TRUE(view.stopPending());

    rig.host.output.Clear();
    view.OnStart();
    EXPECT_FALSE(view.stopPending());
    ASSERT_TRUE(PumpUntil([&] { return view.flags().collecting; }));
    EXPECT_EQ(view.rowCount(), 0);
    // The first collection was closed before the second one started.
    const std::size_t started = rig.host.output.IndexOf("DC Started");
    ASSERT_NE(started, std::string::npos);
    EXPECT_LT(rig.host.output.IndexOf("Send Data to the Target"), started);
    EXPECT_EQ(rig.host.output.CountStatus("DC Started"), 1U);
    const std::vector<std::string> lines = rig.host.output.Status();
    EXPECT_TRUE(lines.at(0).starts_with("Stream damaged: ") &&
                lines[0].ends_with("; the figures are unreliable"))
        << lines[0];
    // The grace timer of the first Stop is gone: the second run stays running.
    EXPECT_FALSE(view.stopGraceTimer().isActive());
    test::RunPostedEvents();
    EXPECT_EQ(view.flags(), kCollecting);
    view.OnStop();
    rig.FinishStop();
    EXPECT_EQ(view.flags(), kStopped);
}

TEST(PerformanceViewStop, ClosingDuringAStreamOrTheGracePeriodStopsTheTargetFirst) {
    for (const bool stopFirst : {false, true}) {
        SCOPED_TRACE(stopFirst ? "grace period" : "stream");
        auto rig = std::make_unique<ViewRig>(Target(0.0, 1.0));
        rig->Start();
        ASSERT_TRUE(PumpUntil([&] { return rig->view->controller()->endpoint().started(); }));
        rig->agent->ReleaseStream();
        ASSERT_TRUE(PumpUntil([&] { return rig->link->dataBytesDelivered() > 4096; }));
        if (stopFirst)
            rig->view->OnStop();
        test::RecordingOutput& output = rig->host.output;
        const std::size_t before = output.Status().size();
        delete rig->frame;
        rig->frame = nullptr;
        const std::size_t terminating = output.IndexOf("Terminating", before);
        ASSERT_NE(terminating, std::string::npos);
        EXPECT_NE(output.IndexOf("Send Data to the Target", terminating), std::string::npos);
        // Blocks still arriving reach no one now: the receiver is gone.
        const std::uint64_t delivered = rig->link->dataBytesDelivered();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_EQ(rig->link->dataBytesDelivered(), delivered);
        // The end of the grace period never comes to the deleted view.
        bool later = false;
        QTimer::singleShot(kStopGraceMs + 100, [&later] { later = true; });
        EXPECT_TRUE(PumpUntil([&] { return later; }));
        EXPECT_TRUE(PumpUntil([&] { return rig->AgentGot(wire::kCmdStop, stopFirst ? 2 : 1); }));
    }
}

TEST(PerformanceViewNotifications, FaultsOfTheTargetReachTheViewThroughTheLinks) {
    struct Case {
        agent::FaultKind fault;
        double at;
        const char* line;
        bool stops;
    };
    const Case cases[] = {
        {agent::FaultKind::Corrupt, 0.2, "Corrupted data received", true},
        {agent::FaultKind::Disconnect, 0.2, "Target link lost", true},
        {agent::FaultKind::BadName, 0.0, "Task Info data corrupted", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        RigOptions options = Target(0.4);
        options.target->faults.push_back({c.fault, c.at});
        ViewRig rig(options);
        rig.Start();
        ASSERT_TRUE(PumpUntil([&] { return rig.view->controller()->endpoint().started(); }));
        rig.agent->ReleaseStream();
        // A stop on the fault unregisters the receiver: the rest of the stream is not awaited.
        ASSERT_TRUE(PumpUntil([&] { return rig.host.output.CountStatus(c.line) > 0; }));
        test::RunPostedEvents();
        rig.FinishStop();
        EXPECT_EQ(rig.host.output.CountStatus(c.line), 1U);
        EXPECT_EQ(rig.view->flags(), c.stops ? kStopped : kCollecting);
        EXPECT_EQ(rig.BarText(&CPerformanceControlBar::samplingDurationEdit) != "na", c.stops);
        // What came before the fault is in the table.
        EXPECT_GT(rig.view->rowCount(), 0);
        rig.view->OnStop();
    }
}

TEST(PerformanceView, CommandsOpenTheirDialogsOnlyWhenEnabled) {
    ViewRig rig;
    const auto run = [&](Command command) {
        rig.host.output.Clear();
        rig.view->RunCommand(command);
        return rig.host.output.Status();
    };
    using Lines = std::vector<std::string>;
    // Disabled: nothing happens.
    EXPECT_EQ(run(Command::SaveData), Lines{});
    EXPECT_EQ(run(Command::TaskGraph), Lines{});
    // Enabled, in a host without file dialogs.
    EXPECT_EQ(run(Command::LoadData), Lines{"The host offers no file dialog"});
    ASSERT_TRUE(rig.view->OpenDataFile(kDataDir + "session_v2.zuta"));
    EXPECT_EQ(run(Command::BarCpuGraph), Lines{});
    EXPECT_NE(rig.view->findChild<CCpuUsageGraphDlg*>(), nullptr);
    EXPECT_EQ(run(Command::BarFunctionGraph), Lines{});
    // The bar's entries run the same commands as the menu's actions.
    EXPECT_EQ(rig.view->findChild<CTaskGraphDlg*>(), nullptr);
    rig.bar().taskGraphAction()->trigger();
    EXPECT_NE(rig.view->findChild<CTaskGraphDlg*>(), nullptr);
}

// A document with its view in a host with a scripted file dialog, reopening `lastFile` (from the
// test data) first.
struct Rig : test::ViewInHost {
    explicit Rig(const std::string& lastFile) : test::ViewInHost(test::LastFile(lastFile)) {
        host.withFileDialog = true;
    }

    // Runs a command whose dialog gives `answer`.
    void Run(void (CPerformanceView::*command)(), std::optional<std::string> answer) {
        host.fileDialog.answer = std::move(answer);
        (view->*command)();
        test::RunPostedEvents();
    }
    std::string LastOpenFile() const {
        return host.store.ReadString(PerformanceSettings::kSection, "Last Open File");
    }
    std::vector<std::string> Rows() const { return view->taskTable().IdTexts(); }
    // Runs a command whose dialog is cancelled, which changes nothing; what the dialog was asked
    // and whether it was a saving one.
    std::pair<host::FileDialogRequest, bool> Cancel(void (CPerformanceView::*command)()) {
        const std::string title = Title();
        const std::vector<std::string> rows = Rows();
        Run(command, std::nullopt);
        EXPECT_EQ(Title(), title);
        EXPECT_EQ(Rows(), rows);
        EXPECT_TRUE(host.messageBox.shown.empty());
        EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
        return host.fileDialog.asked.at(0);
    }
};

// Files may grow to `bytes` while it lives: a longer write fails with "File too large".
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        const rlimit limit{bytes, old_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &old_); }

private:
    rlimit old_{};
};

TEST(ViewFileCommands, SaveWritesTheSessionOrSaysWhyNotAndKeepsTheOldFile) {
    Rig rig("session_v2.zuta");
    // Saving dialogs ask before replacing a file.
    const auto [request, save] = rig.Cancel(&CPerformanceView::OnSaveData);
    EXPECT_TRUE(save && request.promptOverwrite);
    const std::string saved = rig.folder / "run.1.zuta";
    rig.Run(&CPerformanceView::OnSaveData, saved);
    EXPECT_EQ(rig.Title(), "ZUTA Session: run");
    EXPECT_EQ(rig.LastOpenFile(), saved);
    EXPECT_EQ(test::ReadFileBytes(saved),
              test::ReadFileBytes(kDataDir + "session_v2.resaved.zuta"));

    const std::string kept = rig.folder / "kept.zuta";
    {
        std::ofstream(kept) << "the old file\n";
        FileSizeLimit limit(64);
        rig.Run(&CPerformanceView::OnSaveData, kept);
    }
    ASSERT_EQ(rig.host.messageBox.shown.size(), 1U);
    const test::ShownBox& box = rig.host.messageBox.shown[0];
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.icon, host::MessageIcon::Error);
    EXPECT_NE(box.text.find("File too large"), std::string::npos) << box.text;
    EXPECT_EQ(test::ReadFileBytes(kept), "the old file\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(rig.folder.path()), {}), 2);
    EXPECT_EQ(rig.Title(), "ZUTA Session: run");
    EXPECT_EQ(rig.LastOpenFile(), saved);
    EXPECT_EQ(rig.Rows().size(), 3U);
    EXPECT_FALSE(rig.view->waitCursorShown());

    // The save runs off the window thread: Cancel keeps the old file and says so; closing the
    // view lets the save finish first.
    const auto cancel = QObject::connect(
        rig.view, &CPerformanceView::fileJobStarted,
        [](QProgressDialog* progress) { progress->findChild<QPushButton*>()->click(); });
    rig.Run(&CPerformanceView::OnSaveData, kept);
    QObject::disconnect(cancel);
    EXPECT_EQ(test::ReadFileBytes(kept), "the old file\n");
    EXPECT_EQ(rig.host.messageBox.shown.size(), 1U);
    EXPECT_NE(rig.host.output.IndexOf("Save cancelled: " + kept + " is as it was", 0),
              std::string::npos);
    EXPECT_EQ(rig.Title(), "ZUTA Session: run");
    // The store is held for a moment, so the view closes while the save waits for it.
    std::jthread holder;
    QObject::connect(rig.view, &CPerformanceView::fileJobStarted, [&rig, &holder] {
        std::latch held(1);
        holder = std::jthread([data = rig.view->data(), &held] {
            data->Write([&held](StoreState&) {
                held.count_down();
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            });
        });
        held.wait();
        QTimer::singleShot(0, [&rig] {
            delete rig.frame;
            rig.frame = nullptr;
        });
    });
    rig.host.fileDialog.answer = kept;
    rig.view->OnSaveData();
    EXPECT_EQ(rig.frame, nullptr);
    EXPECT_EQ(test::ReadFileBytes(kept), test::ReadFileBytes(saved));
}

// Over an imported log: what a load or import brings (the clock, function names and memory words
// of a session file included) arrives only with a file read whole; a cancelled or failed one
// leaves everything as it was.
TEST(ViewFileCommands, OpeningAFileReplacesTheCollectionOnlyWhenItWasReadWhole) {
    struct Case {
        void (CPerformanceView::*command)();
        const char* file;
        bool cancel;
        const char* title; // null: unchanged
        const char* box;   // null: none
    };
    const auto load = &CPerformanceView::OnLoadData;
    const auto import = &CPerformanceView::OnImportRaw;
    const Case cases[] = {
        {load, "session_v3_crlf.zuta", false, "ZUTA Session: session_v3_crlf", nullptr},
        {import, "boot.log", false, "Exported Session: boot", nullptr},
        {load, "session_v3_crlf.zuta", true, nullptr, nullptr},
        {import, "boot.log", true, nullptr, nullptr},
        {load, "bad_version.zuta", false, nullptr, "Unsupported ZUTA file version"},
        {import, "no_such_file.log", false, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + (c.cancel ? " cancelled" : ""));
        Rig rig("boot.log");
        // Opening dialogs take existing files only.
        EXPECT_TRUE(rig.Cancel(c.command).first.mustExist);
        const std::vector<std::string> rows = rig.Rows();
        const auto ticks = [&] {
            return rig.view->data()->Read([](const StoreState& s) { return s.sumTicks; });
        };
        const std::uint64_t ticksBefore = ticks();
        // The user presses Cancel as soon as the reading begins.
        if (c.cancel)
            QObject::connect(
                rig.view, &CPerformanceView::fileJobStarted,
                [](QProgressDialog* progress) { progress->findChild<QPushButton*>()->click(); });
        rig.Run(c.command, kDataDir + c.file);

        const bool opened = c.title != nullptr;
        const bool session = opened && c.command == load;
        EXPECT_EQ(rig.Title(), opened ? c.title : "ZUTA Session: boot");
        EXPECT_EQ(rig.LastOpenFile(), kDataDir + (opened ? c.file : "boot.log"));
        EXPECT_EQ(rig.view->fromRawLog(), !session);
        EXPECT_EQ(rig.BarText(&CPerformanceControlBar::userEventsEdit), session ? "1" : "0");
        if (!opened) {
            EXPECT_EQ(rig.Rows(), rows);
            EXPECT_EQ(ticks(), ticksBefore);
        }
        EXPECT_EQ(rig.view->settings()->armClockMhz, session ? 208.699997f : 200.0f);
        EXPECT_EQ(rig.host.store.ReadString(FunctionNameMap::kSection, "0"),
                  session ? "Fn12 , 12" : "");
        std::array<std::uint32_t, 4> words{};
        EXPECT_EQ(rig.view->memoryStats()->GetWords(0x3eb, words), session);
        EXPECT_EQ(words[1], session ? 4096U : 0U);
        EXPECT_EQ(rig.host.messageBox.shown.size(), c.box != nullptr ? 1U : 0U);
        if (c.box != nullptr) {
            EXPECT_EQ(rig.host.messageBox.shown[0].text, c.box);
            EXPECT_EQ(rig.host.messageBox.shown[0].caption, "Error");
            EXPECT_EQ(rig.host.messageBox.shown[0].icon, host::MessageIcon::Error);
        }
        EXPECT_EQ(std::ranges::any_of(
                      rig.host.output.Status(),
                      [](const std::string& line) { return line.starts_with("Cannot "); }),
                  !opened);
        EXPECT_FALSE(rig.view->fileBusy());
        EXPECT_FALSE(rig.view->waitCursorShown());
    }
}

TEST(ViewFileCommands, TheTextExportWritesTheRowsAsShown) {
    Rig rig("session_v2.zuta");
    const auto [request, save] = rig.Cancel(&CPerformanceView::OnExportText);
    EXPECT_TRUE(save && request.promptOverwrite);
    // By name: another order than the identifiers'.
    emit rig.view->taskList()->horizontalHeader()->sectionClicked(0);
    const std::vector<std::string> rows = rig.Rows();
    ASSERT_EQ(rows, (std::vector<std::string>{"0x3eb", "0x7", "0x3ec"}));
    const std::string path = rig.folder / "table.txt";
    rig.Run(&CPerformanceView::OnExportText, path);
    EXPECT_TRUE(rig.host.messageBox.shown.empty());

    std::istringstream lines(test::ReadFileBytes(path));
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line + "\n", kTextExportHeader);
    for (const std::string& id : rows) {
        ASSERT_TRUE(std::getline(lines, line));
        EXPECT_EQ(line.substr(line.find(';') + 1, id.size() + 1), id + ";");
    }
    EXPECT_FALSE(std::getline(lines, line));

    const std::string unwritable = rig.folder / "missing/table.txt";
    rig.Run(&CPerformanceView::OnExportText, unwritable);
    ASSERT_EQ(rig.host.messageBox.shown.size(), 1U);
    EXPECT_EQ(rig.host.messageBox.shown[0].text, "Error opening file");
    EXPECT_EQ(rig.host.messageBox.shown[0].caption, unwritable);
    EXPECT_EQ(rig.host.messageBox.shown[0].icon, host::MessageIcon::Error);
}

// Records what it is asked to start and answers as told.
class RecordingLauncher final : public host::IProcessLauncher {
public:
    host::ProcessResult Run(const host::ProcessRequest&) override { return {}; }
    host::ProcessResult Start(const host::ProcessRequest& request) override {
        started.push_back(request);
        host::ProcessResult result;
        result.started = answer;
        return result;
    }

    bool answer = true;
    std::vector<host::ProcessRequest> started;
};

using Boxes = std::vector<std::string>; // "caption: text"
const std::string kUnsupported =
    "Unsupported version: Unsupported version of VTune executable, only 7.1 version is supported";
const std::string kCannotStart = "Error: Unable create VTune process";

// Enables the launch as a written data file does, then runs it; the boxes it showed.
Boxes Launch(test::ViewInHost& rig, const std::string& program, const std::string& dataPath) {
    rig.view->ShowWaitCursor(true);
    rig.view->PostNotification(host::kNotifyStatus, host::kCodeVtuneFileCreated);
    test::RunPostedEvents();
    EXPECT_FALSE(rig.view->waitCursorShown());
    EXPECT_TRUE(rig.view->flags().canRunVtune && rig.view->flags().canStart);
    EXPECT_EQ(rig.host.output.CountStatus("VTune data file created"), 1U);
    EXPECT_EQ(rig.host.Boxes(), Boxes{"ZUTA: VTune data file created"});
    rig.host.messageBox.shown.clear();
    rig.view->settings()->dumpPath = program;
    rig.view->data()->Write([&](StoreState& state) { state.vtuneDataPath = dataPath; });
    rig.view->RunCommand(Command::ConvertToVtune);
    return rig.host.Boxes();
}

TEST(VtuneLaunchTest, TheVersionDecidesWhetherTheAnalyserStarts) {
    struct Case {
        const char* executable; // of the test data
        bool starts;            // the launcher's answer
        Boxes boxes;
    };
    const Case cases[] = {
        {"version-7.1.0.123.exe", true, {}},
        {"version-7.2.0.1.exe", true, {kUnsupported}},
        {"version-17.1.0.exe", true, {kUnsupported}},
        {"no-resources.exe", true, {}},
        {"version-7.1.0.123.exe", false, {kCannotStart}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.executable);
        const test::TempFolder folder;
        const std::string program = kDataDir + "exe/" + c.executable;
        test::ViewInHost rig;
        RecordingLauncher launcher;
        launcher.answer = c.starts;
        rig.host.launcher = &launcher;
        EXPECT_EQ(Launch(rig, program, folder / "run.tb5"), c.boxes);
        // A refused version is not started; the rest are, with the data file as the argument.
        ASSERT_EQ(launcher.started.size(), c.boxes == Boxes{kUnsupported} ? 0U : 1U);
        if (!launcher.started.empty()) {
            EXPECT_EQ(launcher.started[0].program, program);
            EXPECT_EQ(launcher.started[0].arguments, std::vector<std::string>{folder / "run.tb5"});
        }
    }
}

TEST(VtuneLaunchTest, TheAnalyserRunsOnWithItsDataFile) {
    const test::TempFolder folder;
    const std::string script = folder / "analyser";
    const std::string out = folder / "arguments.txt";
    test::WriteFileBytes(script, "#!/bin/sh\necho \"$#:$1\" > '" + out + ".part'\nmv '" + out +
                                     ".part' '" + out + "'\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    struct Case {
        std::string program;
        std::string dataPath;
        bool withLauncher;
        Boxes boxes;
        std::string arguments; // what the program wrote; empty: it did not run
    };
    const Case cases[] = {
        {script, folder / "session 1.tb5", true, {}, "1:" + (folder / "session 1.tb5") + "\n"},
        {script, "", true, {}, "0:\n"},
        // The setting still naming the dump folder, nothing at all, a host that starts nothing.
        {folder.path().string(), folder / "run.tb5", true, {kCannotStart}, ""},
        {folder / "missing", folder / "run.tb5", true, {kCannotStart}, ""},
        {script, folder / "run.tb5", false, {kCannotStart}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program + " " + c.dataPath);
        std::filesystem::remove(out);
        test::ViewInHost rig;
        hostapp::QtProcessLauncher launcher;
        rig.host.launcher = c.withLauncher ? &launcher : nullptr;
        EXPECT_EQ(Launch(rig, c.program, c.dataPath), c.boxes);
        if (!c.arguments.empty()) {
            ASSERT_TRUE(test::PumpUntil([&] { return std::filesystem::exists(out); }));
            EXPECT_EQ(test::ReadFileBytes(out), c.arguments);
        }
    }
}

} // namespace
} // namespace zuta::performance
