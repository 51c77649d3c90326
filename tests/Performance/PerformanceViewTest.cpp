// The performance view and its control bar in a host of their own: the controls following the
// command table, the notifications, the file reopening and drops, collections from the simulated
// target over loopback links, several documents at once.
#include "Performance/PerformanceView.h"

#include "Performance/CpuUsageGraphDlg.h"
#include "Performance/TaskGraphDlg.h"
#include "Performance/TaskTableWidget.h"
#include "Performance/ViewCommands.h"
#include "ViewHost.h"
#include "engine/PerformanceData.h"
#include "engine/WireFormat.h"
#include "support/SilentTarget.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <gtest/gtest.h>

namespace zuta::performance {

void PrintTo(const ViewFlags& f, std::ostream* os) {
    *os << "{canStart " << f.canStart << ", collecting " << f.collecting << ", canShowGraphs "
        << f.canShowGraphs << ", canShowFunctionGraph " << f.canShowFunctionGraph << ", canSave "
        << f.canSave << ", canLoad " << f.canLoad << ", canRunVtune " << f.canRunVtune << "}";
}

namespace {

using test::kDataDir;
using test::LastFile;
using test::PumpUntil;
using test::RecordingOutput;
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

TEST(PerformanceView, ReopeningAndOpeningFiles) {
    struct Case {
        const char* lastFile; // reopened at start-up; null: nothing
        const char* opened;   // then dropped onto the view; null: nothing
        const char* title;
        int rows;
        bool fromRawLog;
        const char* statusPrefix; // a line that starts so; null: none expected
    };
    const Case cases[] = {
        {"session_v2.zuta", nullptr, "ZUTA Session: session_v2", 3, false, nullptr},
        // Reopened, a raw log is shown as any session.
        {"boot.log", nullptr, "ZUTA Session: boot", -1, true, nullptr},
        {"session_v2.zuta", "boot.log", "Exported Session: boot", -1, true, nullptr},
        // A failed open keeps the title, rows and flags it had.
        {"session_v2.zuta", "bad_version.zuta", "ZUTA Session: session_v2", 3, false,
         "Cannot load "},
        {"no_such_file.log", nullptr, "Zutascope", 0, false, "Cannot import "},
        // A file that ends early loads what it holds and says so.
        {nullptr, "bad/truncated.zuta", "ZUTA Session: truncated", -1, false, "Warning: '"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.lastFile ? c.lastFile : "-") + " then " +
                     (c.opened ? c.opened : "-"));
        ViewRig rig(c.lastFile != nullptr ? LastFile(c.lastFile) : RigOptions{});
        if (c.opened != nullptr)
            rig.view->OpenDataFile(kDataDir + c.opened);
        EXPECT_EQ(rig.Title(), c.title);
        EXPECT_EQ(rig.frame->windowTitle(), c.title);
        EXPECT_EQ(rig.view->fromRawLog(), c.fromRawLog);
        if (c.rows >= 0) {
            EXPECT_EQ(rig.view->rowCount(), c.rows);
        } else {
            EXPECT_GT(rig.view->rowCount(), 0);
        }
        EXPECT_EQ(rig.view->flags(), rig.view->rowCount() > 0 ? kInitialWithFile : kInitialNoFile);
        ExpectControlsFollowTheTable(rig);
        const std::vector<std::string> lines = rig.host.output.Status();
        const bool said = std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return c.statusPrefix != nullptr && line.rfind(c.statusPrefix, 0) == 0;
        });
        EXPECT_EQ(said, c.statusPrefix != nullptr);
    }
}

TEST(PerformanceView, StartWithoutATargetSaysSoAndChangesNothing) {
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
}

TEST(PerformanceView, StartAtASilentTargetNeverBlocksTheWindow) {
    test::SilentTarget silent;
    ViewRig rig;
    link::HostLink hostLink(link::TcpLinkOpener("127.0.0.1", silent.port()));
    rig.host.link = &hostLink;
    // The link is taken at the initial update: a second view gets this one.
    ViewRig second(RigOptions{}, &rig);
    CPerformanceView& view = *second.view;

    const auto before = std::chrono::steady_clock::now();
    view.OnStart();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
    EXPECT_EQ(view.state().phase(), ViewPhase::Connecting);
    ExpectControlsFollowTheTable(second);
    EXPECT_TRUE(second.bar().stopButton()->isEnabled());

    // Stop abandons the attempt; its late outcome changes nothing.
    second.bar().stopButton()->click();
    EXPECT_EQ(view.state().phase(), ViewPhase::Idle);
    EXPECT_EQ(view.flags(), kInitialNoFile);
    test::RunPostedEvents();

    // The attempt ends by itself within the time limit.
    view.OnStart();
    ASSERT_TRUE(PumpUntil([&] { return view.state().phase() == ViewPhase::Idle; },
                          std::chrono::seconds(15)));
    EXPECT_EQ(second.host.output.CountStatus("Target not connected"), 1U);
    EXPECT_EQ(view.flags(), kInitialNoFile);

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
    const std::string load = std::to_string(truth.CpuLoad()) + " %";
    EXPECT_TRUE(
        PumpUntil([&] { return rig.BarText(&CPerformanceControlBar::cpuLoadEdit) == load; }));
    EXPECT_TRUE(PumpUntil([&] { return view.taskTable().row(0).runs > 0; }));

    rig.bar().stopButton()->click();
    EXPECT_EQ(view.flags(), kStopping);
    ExpectControlsFollowTheTable(rig);
    EXPECT_TRUE(view.stopPending());
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
    EXPECT_TRUE(PumpUntil([&] { return rig.AgentGot(wire::kCmdStop); }));
}

TEST(PerformanceViewDocuments, TwoDocumentsCollectFromTwoTargetsAtOnce) {
    RigOptions first = Target(0.5, 4.0);
    RigOptions second = Target(0.5, 4.0);
    second.seed = 11;
    ViewRig a(first);
    ViewRig b(second);
    a.Start();
    b.Start();
    ASSERT_TRUE(PumpUntil([&] {
        return a.view->controller()->endpoint().started() &&
               b.view->controller()->endpoint().started();
    }));
    a.agent->ReleaseStream();
    b.agent->ReleaseStream();
    for (ViewRig* rig : {&a, &b}) {
        ASSERT_TRUE(rig->agent->WaitStreamEnded(std::chrono::seconds(10)));
        ASSERT_TRUE(PumpUntil(
            [&] { return rig->link->dataBytesDelivered() == rig->agent->streamBytesSent(); }));
    }
    a.view->OnStop();
    b.view->OnStop();
    a.FinishStop();
    b.FinishStop();
    ExpectTheTargetsFigures(a);
    ExpectTheTargetsFigures(b);
}

TEST(PerformanceViewDocuments, OneTargetServesOneCollectionAtATime) {
    ViewRig a(Target(0.5));
    auto b = std::make_unique<ViewRig>(RigOptions{}, &a);
    a.Start();
    ASSERT_TRUE(PumpUntil([&] { return a.view->controller()->endpoint().started(); }));

    // Start in the other document says so once and changes nothing.
    b->view->OnStart();
    ASSERT_TRUE(PumpUntil([&] {
        return a.host.output.CountStatus("The target link is in use by another collection") == 1;
    }));
    test::RunPostedEvents();
    EXPECT_EQ(b->view->flags(), kInitialNoFile);
    EXPECT_EQ(a.view->flags(), kCollecting);

    // Opening and closing documents leaves the running collection alone.
    { ViewRig c(RigOptions{}, &a); }
    b.reset();
    a.StreamAll();
    EXPECT_EQ(a.view->flags(), kCollecting);
    a.view->OnStop();
    a.FinishStop();
    ExpectTheTargetsFigures(a);

    // Once the first collection is over, the other document may collect from the target.
    ViewRig d(RigOptions{}, &a);
    d.Start();
    EXPECT_TRUE(PumpUntil([&] { return d.view->controller()->endpoint().started(); }));
    d.view->OnStop();
    d.FinishStop();
}

TEST(PerformanceView, TheUsersColumnWidthsStayUntilTheColumnsChange) {
    ViewRig rig(LastFile("session_v2.zuta"));
    QHeaderView* header = rig.view->taskList()->horizontalHeader();
    header->resizeSection(0, 333);
    ASSERT_TRUE(rig.view->OpenDataFile(kDataDir + "session_v3_crlf.zuta"));
    rig.view->PostNotification(host::kNotifyStatus, host::kCodeNewTaskData);
    test::RunPostedEvents();
    EXPECT_EQ(header->sectionSize(0), 333);

    // Changed sampling flags switch the store's modes; another column set gets the table's own
    // widths.
    rig.view->settings()->simpleMode = true;
    rig.view->PostNotification(host::kNotifyStatus, host::kCodeSamplingFlagsChanged);
    test::RunPostedEvents();
    EXPECT_EQ(rig.view->samplingMode(), wire::kModeSimple);
    EXPECT_TRUE(rig.view->data()->simpleMode());
    EXPECT_EQ(rig.view->taskList()->model()->columnCount(), 4);
    EXPECT_EQ(rig.view->rowCount(), 3);
    EXPECT_NE(header->sectionSize(0), 333);
    rig.view->settings()->externalTsMode = true;
    rig.view->PostNotification(host::kNotifyStatus, host::kCodeSamplingFlagsChanged);
    test::RunPostedEvents();
    EXPECT_EQ(rig.view->samplingMode(), wire::kModeExternalTs);
    EXPECT_TRUE(rig.view->data()->externalTsMode());
}

TEST(PerformanceViewStop, TheWindowKeepsRunningWhileTheLastBatchesArrive) {
    ViewRig rig(Target());
    CPerformanceView& view = *rig.view;
    rig.CollectAll();
    ASSERT_TRUE(PumpUntil([&] { return view.rowCount() > 0; }));
    // Whatever the load timer showed last, the bar gets the load of the closed collection.
    rig.bar().cpuLoadEdit()->setText(QStringLiteral("0"));

    // An event of the window queued before Stop.
    bool fired = false;
    bool pendingWhenFired = false;
    QTimer::singleShot(0, &view, [&] {
        fired = true;
        pendingWhenFired = view.stopPending();
    });
    const std::size_t sentBefore = rig.host.output.CountStatus("Send Data to the Target");
    rig.bar().stopButton()->click();
    // Stop returns at once: "Stop" is on its way, the collection is still open.
    EXPECT_FALSE(fired);
    EXPECT_TRUE(view.stopPending());
    EXPECT_EQ(rig.host.output.CountStatus("Send Data to the Target"), sentBefore + 1);
    // A second Stop during the grace period does nothing.
    view.OnStop();
    EXPECT_EQ(rig.host.output.CountStatus("Send Data to the Target"), sentBefore + 1);

    ASSERT_TRUE(PumpUntil([&] { return fired; }));
    EXPECT_TRUE(pendingWhenFired);
    rig.FinishStop();
    EXPECT_EQ(view.flags(), kStopped);
    ExpectTheTargetsFigures(rig);
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::cpuLoadEdit),
              std::to_string(rig.agent->Truth().CpuLoad()) + " %");
}

TEST(PerformanceViewStop, StartDuringTheGracePeriodClosesTheStoppedCollectionFirst) {
    ViewRig rig(Target());
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
        RecordingOutput& output = rig->host.output;
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

TEST(PerformanceViewNotifications, StatusCodesWriteTheirLines) {
    struct Case {
        std::uint32_t command;
        std::uint32_t code;
        const char* line; // null: nothing is written
    };
    const Case cases[] = {
        {host::kNotifyStatus, host::kCodeTaskInfoCorrupted, "Task Info data corrupted"},
        {host::kNotifyStatus, host::kCodeNewTaskData, "New Task Data received"},
        // Outside a collection these change nothing.
        {host::kNotifyStatus, host::kCodeCorruptedData, nullptr},
        {host::kNotifyStatus, host::kCodeLinkClosed, nullptr},
    };
    ViewRig rig(LastFile("session_v2.zuta"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        rig.host.output.Clear();
        // Posted from a link thread, queued to the window thread, never handled inside the call.
        std::thread link([&] { rig.view->PostNotification(c.command, c.code); });
        link.join();
        EXPECT_TRUE(rig.host.output.Status().empty());
        test::RunPostedEvents();
        if (c.line != nullptr) {
            EXPECT_EQ(rig.host.output.Status(), std::vector<std::string>{c.line});
        } else {
            EXPECT_TRUE(rig.host.output.Status().empty());
        }
        EXPECT_EQ(rig.view->flags(), kInitialWithFile);
    }
    EXPECT_EQ(rig.view->rowCount(), 3);
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
        options.faults.push_back({c.fault, c.at});
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

TEST(PerformanceViewNotifications, AfterStopTheStatusLineTellsOfStreamDamage) {
    RigOptions options = Target(0.4);
    options.faults.push_back({agent::FaultKind::Drop, 0.1});
    ViewRig rig(options);
    rig.CollectAll();
    rig.view->OnStop();
    rig.FinishStop();
    const std::vector<std::string> lines = rig.host.output.Status();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.rfind("Stream damaged: ", 0) == 0 &&
                                       line.find("the figures are unreliable") != std::string::npos;
                            }),
              1);
}

TEST(PerformanceView, DropsOpenSessionFilesAndRawLogsOnly) {
    struct Case {
        std::string path;
        bool accepted;
    };
    const Case cases[] = {
        {kDataDir + "session_v3_crlf.zuta", true},
        {kDataDir + "../host/notes.txt", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ViewRig rig;
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(c.path))});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(rig.view, &enter);
        EXPECT_EQ(enter.isAccepted(), c.accepted);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(rig.view, &drop);
        test::RunPostedEvents();
        EXPECT_EQ(rig.view->flags(), c.accepted ? kInitialWithFile : kInitialNoFile);
        EXPECT_EQ(rig.host.store.ReadString(PerformanceSettings::kSection, "Last Open File"),
                  c.accepted ? c.path : "");
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

} // namespace
} // namespace zuta::performance
