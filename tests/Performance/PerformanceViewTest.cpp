// The performance view and its control bar in a host of their own: the state table of the view,
// the notifications, the file reopening and drops, and a collection from the simulated target
// over the in-process link.
#include "Performance/PerformanceView.h"

#include "Performance/PerformanceControlBar.h"
#include "Performance/PerformanceDoc.h"
#include "Performance/PerformanceFrame.h"
#include "Performance/TaskTableWidget.h"
#include "QtTestApp.h"
#include "agent/CollectorAgent.h"
#include "collection/CollectionController.h"
#include "engine/PerformanceData.h"
#include "engine/WireFormat.h"
#include "host/HostWindow.h"
#include "host/MemorySettingsStore.h"
#include "host/MessageBox.h"
#include "host/OutputWindow.h"
#include "link/HostLink.h"
#include "settings/PerformanceSettings.h"
#include "support/Recorders.h"
#include "support/TempFolder.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace zuta::performance {

void PrintTo(const ViewFlags& f, std::ostream* os) {
    *os << "{canStart " << f.canStart << ", collecting " << f.collecting << ", canShowGraphs "
        << f.canShowGraphs << ", canShowFunctionGraph " << f.canShowFunctionGraph << ", canSave "
        << f.canSave << ", canLoad " << f.canLoad << ", canRunVtune " << f.canRunVtune << "}";
}

namespace {

using test::RecordingMessageBox;
using test::RecordingOutput;

const std::string kDataDir = std::string(ZUTA_TEST_DATA_DIR) + "/files/";

// Runs the window thread's events until the condition holds; false when it did not in time.
bool PumpUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The host window as the view sees it, with or without links to a target.
class FakeHost final : public host::IHostWindow {
public:
    void DockPane(const host::DockPaneRecord& record) override { paneTitle = record.title; }
    void AddChildFrame(host::WindowHandle) override {}
    void AddDocumentTemplate(std::unique_ptr<host::IDocumentTemplate>) override {}
    host::IDocumentTemplate* FindDocumentTemplate(std::string_view) override { return nullptr; }
    host::IMessageBox& MessageBox() override { return messageBox; }
    host::IOutputWindow& OutputWindow() override { return output; }
    host::ISettingsStore& SettingsStore() override { return store; }
    host::ICommandLink* CommandLink() override { return link; }
    host::IDataLink* DataLink() override { return link; }
    host::ISenderNameResolver* SenderNameResolver() override { return link; }

    host::MemorySettingsStore store;
    RecordingOutput output;
    RecordingMessageBox messageBox;
    link::HostLink* link = nullptr;
    std::string paneTitle;
};

struct RigOptions {
    bool withTarget = false;
    double agentSeconds = 0.3; // simulated seconds per stream; 0: until "Stop"
    double agentSpeed = 0.0;
    std::string lastOpenFile;
    std::vector<agent::Fault> faults;
};

RigOptions LastFile(const std::string& name) {
    RigOptions options;
    options.lastOpenFile = kDataDir + name;
    return options;
}

// With the simulated target; `seconds` 0 streams until "Stop".
RigOptions Target(double seconds = 0.3, double speed = 0.0) {
    RigOptions options;
    options.withTarget = true;
    options.agentSeconds = seconds;
    options.agentSpeed = speed;
    return options;
}

// Document, frame, bar and view built as the document template builds them, in a fake host; with
// a target, the simulated agent behind a loopback link.
class ViewRig {
public:
    explicit ViewRig(const RigOptions& options = {}) {
        test::TestApplication();
        PerformanceSettings settings;
        settings.dumpPath = folder_.path().string();
        settings.lastOpenFile = options.lastOpenFile;
        settings.save(host.store);

        if (options.withTarget) {
            agent::AgentOptions agentOptions;
            agentOptions.seed = 5;
            agentOptions.speed = options.agentSpeed;
            agentOptions.duration = options.agentSeconds;
            agentOptions.holdStream = true;
            agentOptions.faults = options.faults;
            agent = std::make_unique<agent::CollectorAgent>(agentOptions);
            std::string error;
            EXPECT_TRUE(agent->Start(error)) << error;
            link =
                std::make_unique<link::HostLink>(link::TcpLinkOpener("127.0.0.1", agent->port()));
            host.link = link.get();
        }

        auto* document = new CPerformanceDoc();
        document->OnNewDocument();
        frame = new CPerformanceFrame(document);
        view = new CPerformanceView(frame, &host);
        frame->SetView(view);
        frame->Create(host);
        view->OnInitialUpdate();
        if (view->data() != nullptr) {
            view->data()->SetFinishDelay(std::chrono::milliseconds(0));
        }
        test::RunPostedEvents();
    }
    ~ViewRig() {
        delete frame;
        if (link) {
            link->Close();
        }
    }

    CPerformanceControlBar& bar() const { return *frame->controlBar(); }
    std::string BarText(QLineEdit* (CPerformanceControlBar::*edit)() const) const {
        return (bar().*edit)()->text().toStdString();
    }
    QString Title() const { return frame->document()->title(); }

    // Starts and runs the agent's whole stream into the view.
    void CollectAll() {
        view->OnStart();
        ASSERT_TRUE(view->flags().collecting);
        ASSERT_TRUE(PumpUntil([&] { return view->controller()->endpoint().started(); }));
        agent->ReleaseStream();
        ASSERT_TRUE(agent->WaitStreamEnded(std::chrono::seconds(5)));
        ASSERT_TRUE(
            PumpUntil([&] { return link->dataBytesDelivered() == agent->streamBytesSent(); }));
    }

    test::TempFolder folder_;
    std::unique_ptr<agent::CollectorAgent> agent;
    std::unique_ptr<link::HostLink> link;
    FakeHost host;
    CPerformanceFrame* frame = nullptr;
    CPerformanceView* view = nullptr;
};

ViewFlags Flags(bool canStart, bool collecting, bool canShowGraphs, bool canShowFunctionGraph,
                bool canSave, bool canLoad, bool canRunVtune) {
    return ViewFlags{canStart, collecting, canShowGraphs, canShowFunctionGraph,
                     canSave,  canLoad,    canRunVtune};
}

const ViewFlags kInitialNoFile = Flags(true, false, false, false, false, true, false);
const ViewFlags kInitialWithFile = Flags(true, false, true, true, false, true, false);
const ViewFlags kCollecting = Flags(false, true, true, false, false, false, false);
const ViewFlags kStopped = Flags(true, false, true, true, true, true, false);
// Stop sent, collection not closed yet: nothing can be started, opened or saved.
const ViewFlags kStopping = Flags(false, false, true, false, false, false, false);

// Runs the window's events until the grace period of a Stop has ended.
void FinishStop(const ViewRig& rig) {
    ASSERT_TRUE(PumpUntil([&] { return !rig.view->stopPending(); }));
}

// The menu and the bar show exactly the flags of the view.
void ExpectControlsShow(const ViewRig& rig, const ViewFlags& f) {
    const CPerformanceView& v = *rig.view;
    const auto enabled = [&](Command c) { return v.menuAction(c)->isEnabled(); };
    EXPECT_EQ(enabled(Command::Start), f.canStart);
    EXPECT_EQ(enabled(Command::Stop), f.collecting);
    EXPECT_EQ(enabled(Command::SaveData), f.canSave);
    EXPECT_EQ(enabled(Command::LoadData), f.canLoad);
    EXPECT_EQ(enabled(Command::ImportRawLog), f.canLoad);
    EXPECT_EQ(enabled(Command::TaskGraph), f.canShowGraphs);
    EXPECT_EQ(enabled(Command::CpuGraph), f.canShowGraphs);
    EXPECT_EQ(enabled(Command::FunctionGraph), f.canShowFunctionGraph);
    EXPECT_EQ(enabled(Command::Settings), f.canStart);
    EXPECT_TRUE(enabled(Command::IrqMapping));
    EXPECT_TRUE(enabled(Command::FunctionNamesMapping));

    const CPerformanceControlBar& bar = rig.bar();
    EXPECT_EQ(bar.startButton()->isEnabled(), f.canStart);
    EXPECT_EQ(bar.stopButton()->isEnabled(), f.collecting);
    EXPECT_EQ(bar.settingsButton()->isEnabled(), f.canStart);
    EXPECT_EQ(bar.runVtuneButton()->isEnabled(), f.canRunVtune);
    EXPECT_EQ(bar.taskGraphAction()->isEnabled(), f.canShowGraphs);
    EXPECT_EQ(bar.cpuGraphAction()->isEnabled(), f.canShowGraphs);
    EXPECT_FALSE(bar.functionGraphAction()->isEnabled());
    EXPECT_EQ(bar.saveDataAction()->isEnabled(), f.canSave);
    EXPECT_EQ(bar.loadDataAction()->isEnabled(), f.canLoad);
    EXPECT_EQ(bar.exportTextAction()->isEnabled(), f.canLoad);
    EXPECT_EQ(bar.importRawAction()->isEnabled(), f.canLoad);
    EXPECT_TRUE(bar.dataButton()->isEnabled());
    EXPECT_TRUE(bar.graphButton()->isEnabled());
    EXPECT_EQ(v.taskList()->sortingEnabled(), f.canStart);
}

TEST(PerformanceViewFormats, SamplingDurationIsMinutesAndSecondsWithoutPadding) {
    EXPECT_EQ(FormatSamplingDuration(65), "1:5");
    EXPECT_EQ(FormatSamplingDuration(3), "0:3");
    EXPECT_EQ(FormatSamplingDuration(0), "0:0");
    EXPECT_EQ(FormatSamplingDuration(3600), "60:0");
    EXPECT_EQ(FormatSamplingDuration(0xFFFFFFFFu), "71582788:15");
}

TEST(PerformanceViewFormats, LoadedDurationFromTicksAndClock) {
    struct Case {
        std::uint64_t ticks;
        double clock;
        const char* text;
    };
    const Case cases[] = {
        {0, 0.0, "0 HCLK"},
        // Beyond 32 bits the whole count is shown.
        {0x10000000000ull, 0.0, "1099511627776 HCLK"},
        {0xFFFFFFFFFFFFFFFFull, 0.0, "18446744073709551615 HCLK"},
        {500000, 200.0, "2500.00 uSec"},
        {999999, 10000.0, "100.00 uSec"},
        {208000000, 208.0, "1.0000 sec"},
        // Only whole millions of ticks count towards seconds.
        {1999999, 200.0, "0.0050 sec"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatTickDuration(c.ticks, c.clock), c.text) << c.ticks << " @ " << c.clock;
    }
}

TEST(PerformanceViewFormats, VersionAndSessionNames) {
    EXPECT_EQ(FormatModuleVersion(1, 12, 3, 45), "001.12.03.45");
    EXPECT_EQ(FormatModuleVersion(0, 0, 0, 0), "000.00.00.00");
    EXPECT_EQ(ModuleVersionText().size(), 12U);
    EXPECT_EQ(SessionNameFromPath("D:\\runs\\a.b.zuta"), "a");
    EXPECT_EQ(SessionNameFromPath("/home/u/run.1.zuta"), "run");
    EXPECT_EQ(SessionNameFromPath("/tmp/.hidden.zuta"), "");
    EXPECT_EQ(SessionNameFromPath("plain"), "plain");
}

TEST(PerformanceView, InitialUpdateWithoutAFile) {
    ViewRig rig;
    CPerformanceView& view = *rig.view;
    ASSERT_TRUE(view.initialUpdateDone());
    EXPECT_EQ(view.flags(), kInitialNoFile);
    ExpectControlsShow(rig, kInitialNoFile);
    EXPECT_EQ(rig.bar().view(), &view);
    EXPECT_EQ(rig.host.paneTitle, "ZUT Tool");
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::samplingDurationEdit), "na");
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::userEventsEdit), "0");
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::cpuLoadEdit), "0");
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::versionEdit), ModuleVersionText());
    EXPECT_EQ(rig.Title(), "Zutascope");
    EXPECT_FALSE(view.fromRawLog());
    EXPECT_EQ(view.rowCount(), 0);
    EXPECT_EQ(view.taskTable().columns().size(), 11U);
    EXPECT_EQ(view.taskList()->model()->columnCount(), 11);
    EXPECT_EQ(view.samplingMode(), wire::kModeNormal);
    EXPECT_TRUE(view.acceptDrops());
    EXPECT_EQ(view.performanceMenu()->title(), "&Performance");
    EXPECT_FALSE(view.cpuLoadTimer().isActive());
}

TEST(PerformanceView, InitialUpdateReopensTheLastSessionFile) {
    ViewRig rig(LastFile("session_v2.zuta"));
    CPerformanceView& view = *rig.view;
    EXPECT_EQ(view.flags(), kInitialWithFile);
    ExpectControlsShow(rig, kInitialWithFile);
    EXPECT_FALSE(view.fromRawLog());
    // One task, one HISR and one IRQ; the function gets no row.
    EXPECT_EQ(view.rowCount(), 3);
    EXPECT_EQ(view.taskList()->model()->rowCount(), 3);
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::taskCountEdit), "1 / 1 / 1");
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::userEventsEdit), "1");
    const std::uint64_t ticks = view.data()->Read([](const StoreState& s) { return s.sumTicks; });
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::samplingDurationEdit),
              FormatTickDuration(ticks, 200.0));
    EXPECT_EQ(rig.Title(), "ZUTA Session: session_v2");
}

TEST(PerformanceView, InitialUpdateReopensALastRawLogAsTheSession) {
    ViewRig rig(LastFile("boot.log"));
    CPerformanceView& view = *rig.view;
    EXPECT_EQ(view.flags(), kInitialWithFile);
    EXPECT_TRUE(view.fromRawLog());
    EXPECT_GT(view.rowCount(), 0);
    // Reopened, the log is shown as any session: its length and events, the session title.
    const std::uint64_t ticks = view.data()->Read([](const StoreState& s) { return s.sumTicks; });
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::samplingDurationEdit),
              FormatTickDuration(ticks, view.settings()->armClockMhz));
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::userEventsEdit),
              std::to_string(view.data()->GetUserEventCount()));
    EXPECT_EQ(rig.Title(), "ZUTA Session: boot");
}

TEST(PerformanceView, TitlesAfterReopenLoadAndImport) {
    struct Case {
        const char* lastFile; // reopened at start-up; null: nothing
        const char* opened;   // then dropped onto the view; null: nothing
        const char* title;
    };
    const Case cases[] = {
        {"session_v2.zuta", nullptr, "ZUTA Session: session_v2"},
        {"boot.log", nullptr, "ZUTA Session: boot"},
        {nullptr, "session_v3_crlf.zuta", "ZUTA Session: session_v3_crlf"},
        {nullptr, "boot.log", "Exported Session: boot"},
        {"session_v2.zuta", "boot.log", "Exported Session: boot"},
        {"boot.log", "session_v2.zuta", "ZUTA Session: session_v2"},
        // A failed open keeps the title it had.
        {nullptr, "bad_version.zuta", "Zutascope"},
        {"session_v2.zuta", "bad_version.zuta", "ZUTA Session: session_v2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.lastFile ? c.lastFile : "-") + " then " +
                     (c.opened ? c.opened : "-"));
        ViewRig rig(c.lastFile != nullptr ? LastFile(c.lastFile) : RigOptions{});
        if (c.opened != nullptr) {
            rig.view->OpenDataFile(kDataDir + c.opened);
        }
        EXPECT_EQ(rig.Title(), c.title);
        EXPECT_EQ(rig.frame->windowTitle(), c.title);
    }
}

TEST(PerformanceView, AFailedReopenOfARawLogLeavesTheInitialState) {
    ViewRig rig(LastFile("no_such_file.log"));
    EXPECT_EQ(rig.view->flags(), kInitialNoFile);
    EXPECT_FALSE(rig.view->fromRawLog());
    EXPECT_EQ(rig.Title(), "Zutascope");
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::samplingDurationEdit), "na");
    const std::vector<std::string> lines = rig.host.output.Status();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.rfind("Cannot import ", 0) == 0;
    }));
}

TEST(PerformanceView, AFailedReopenLeavesTheInitialState) {
    for (const std::string name : {"bad_version.zuta", "no_such_file.zuta"}) {
        SCOPED_TRACE(name);
        ViewRig rig(LastFile(name));
        EXPECT_EQ(rig.view->flags(), kInitialNoFile);
        ExpectControlsShow(rig, kInitialNoFile);
        EXPECT_EQ(rig.Title(), "Zutascope");
        EXPECT_EQ(rig.view->rowCount(), 0);
        EXPECT_EQ(rig.BarText(&CPerformanceControlBar::samplingDurationEdit), "na");
        const std::vector<std::string> lines = rig.host.output.Status();
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
            return line.rfind("Cannot load ", 0) == 0;
        }));
    }
}

TEST(PerformanceView, StartWithoutATargetSaysSoAndChangesNothing) {
    ViewRig rig(LastFile("session_v2.zuta"));
    rig.bar().startButton()->click();
    EXPECT_EQ(rig.host.output.CountStatus("Target not connected"), 1U);
    EXPECT_EQ(rig.view->flags(), kInitialWithFile);
    EXPECT_EQ(rig.view->rowCount(), 3);
    EXPECT_FALSE(rig.view->cpuLoadTimer().isActive());
}

TEST(PerformanceView, CollectsFromTheSimulatedTargetIntoTheTable) {
    RigOptions options = Target();
    options.lastOpenFile = kDataDir + "session_v2.zuta";
    ViewRig rig(options);
    CPerformanceView& view = *rig.view;
    ASSERT_EQ(view.rowCount(), 3);

    rig.bar().startButton()->click();
    EXPECT_EQ(view.flags(), kCollecting);
    ExpectControlsShow(rig, kCollecting);
    // The rows of the loaded file are gone, and so is their count.
    EXPECT_EQ(view.rowCount(), 0);
    EXPECT_EQ(view.taskTable().rowCount(), 0U);
    EXPECT_EQ(view.taskList()->model()->rowCount(), 0);
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::samplingDurationEdit), "na");
    EXPECT_TRUE(view.cpuLoadTimer().isActive());
    EXPECT_EQ(rig.host.output.CountStatus("DC Started"), 1U);

    // Files cannot be dropped onto a running collection.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(kDataDir + "session_v2.zuta"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &enter);
    EXPECT_FALSE(enter.isAccepted());

    ASSERT_TRUE(PumpUntil([&] { return view.controller()->endpoint().started(); }));
    rig.agent->ReleaseStream();
    ASSERT_TRUE(rig.agent->WaitStreamEnded(std::chrono::seconds(5)));
    ASSERT_TRUE(
        PumpUntil([&] { return rig.link->dataBytesDelivered() == rig.agent->streamBytesSent(); }));
    const agent::GroundTruth truth = rig.agent->Truth();
    std::size_t rowsExpected = 0;
    for (const auto& [id, task] : truth.tasks) {
        rowsExpected += task.type <= kTypeIrq;
    }
    // The rows follow the store's new tasks; the figures follow the refresh timer.
    ASSERT_TRUE(PumpUntil([&] { return view.rowCount() == static_cast<int>(rowsExpected); }));
    // The CPU load timer shows the load of everything received.
    const std::string load = std::to_string(truth.CpuLoad()) + " %";
    EXPECT_TRUE(
        PumpUntil([&] { return rig.BarText(&CPerformanceControlBar::cpuLoadEdit) == load; }));
    EXPECT_TRUE(PumpUntil(
        [&] { return view.taskTable().rowCount() > 0 && view.taskTable().row(0).runs > 0; }));

    rig.bar().stopButton()->click();
    EXPECT_EQ(view.flags(), kStopping);
    ExpectControlsShow(rig, kStopping);
    EXPECT_TRUE(view.stopPending());
    FinishStop(rig);
    EXPECT_EQ(view.flags(), kStopped);
    ExpectControlsShow(rig, kStopped);
    EXPECT_FALSE(view.cpuLoadTimer().isActive());
    EXPECT_FALSE(view.tableRefreshTimer().isActive());
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::samplingDurationEdit),
              FormatSamplingDuration(view.data()->GetSamplingDuration()));
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::userEventsEdit),
              std::to_string(truth.userEventCount));
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::cpuLoadEdit), load);
    // After Stop every row shows the figures the target sent.
    test::RunPostedEvents();
    ASSERT_EQ(view.rowCount(), static_cast<int>(rowsExpected));
    for (int r = 0; r < view.rowCount(); ++r) {
        const TaskRow& row = view.taskTable().row(static_cast<std::size_t>(r));
        const auto it = truth.tasks.find(row.id);
        ASSERT_NE(it, truth.tasks.end()) << row.id;
        EXPECT_EQ(row.runs, it->second.runs) << row.name;
        EXPECT_EQ(row.ticks, it->second.ticks) << row.name;
    }
    EXPECT_TRUE(PumpUntil([&] {
        const auto commands = rig.agent->Commands();
        return !commands.empty() && commands.back().command == wire::kCmdStop;
    }));
}

// The figures of the whole stream, as the target counted them, on the bar and in every row.
void ExpectFiguresOfTheWholeStream(const ViewRig& rig) {
    const CPerformanceView& view = *rig.view;
    const agent::GroundTruth truth = rig.agent->Truth();
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::samplingDurationEdit),
              FormatSamplingDuration(view.data()->GetSamplingDuration()));
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::userEventsEdit),
              std::to_string(truth.userEventCount));
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::cpuLoadEdit),
              std::to_string(truth.CpuLoad()) + " %");
    std::size_t rowsExpected = 0;
    for (const auto& [id, task] : truth.tasks) {
        rowsExpected += task.type <= kTypeIrq;
    }
    ASSERT_EQ(view.rowCount(), static_cast<int>(rowsExpected));
    for (int r = 0; r < view.rowCount(); ++r) {
        const TaskRow& row = view.taskTable().row(static_cast<std::size_t>(r));
        const auto it = truth.tasks.find(row.id);
        ASSERT_NE(it, truth.tasks.end()) << row.id;
        EXPECT_EQ(row.runs, it->second.runs) << row.name;
        EXPECT_EQ(row.ticks, it->second.ticks) << row.name;
    }
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
    std::string durationWhenFired;
    QTimer::singleShot(0, &view, [&] {
        fired = true;
        pendingWhenFired = view.stopPending();
        durationWhenFired = rig.BarText(&CPerformanceControlBar::samplingDurationEdit);
    });
    const std::size_t sentBefore = rig.host.output.CountStatus("Send Data to the Target");
    rig.bar().stopButton()->click();
    // Stop returns at once: "Stop" is on its way, the collection is still open.
    EXPECT_FALSE(fired);
    EXPECT_TRUE(view.stopPending());
    EXPECT_EQ(rig.host.output.CountStatus("Send Data to the Target"), sentBefore + 1);
    EXPECT_EQ(view.flags(), kStopping);
    EXPECT_FALSE(view.cpuLoadTimer().isActive());
    // A second Stop during the grace period does nothing.
    view.OnStop();
    EXPECT_EQ(rig.host.output.CountStatus("Send Data to the Target"), sentBefore + 1);

    ASSERT_TRUE(PumpUntil([&] { return fired; }));
    EXPECT_TRUE(pendingWhenFired);
    EXPECT_EQ(durationWhenFired, "na");

    FinishStop(rig);
    EXPECT_EQ(view.flags(), kStopped);
    ExpectControlsShow(rig, kStopped);
    ExpectFiguresOfTheWholeStream(rig);
    EXPECT_TRUE(PumpUntil([&] {
        const auto commands = rig.agent->Commands();
        return !commands.empty() && commands.back().command == wire::kCmdStop;
    }));
}

TEST(PerformanceViewStop, StartDuringTheGracePeriodClosesTheStoppedCollectionFirst) {
    ViewRig rig(Target());
    CPerformanceView& view = *rig.view;
    rig.CollectAll();
    ASSERT_TRUE(PumpUntil([&] { return view.rowCount() > 0; }));
    view.OnStop();
    ASSERT_TRUE(view.stopPending());

    rig.host.output.Clear();
    view.OnStart();
    EXPECT_FALSE(view.stopPending());
    EXPECT_EQ(view.flags(), kCollecting);
    EXPECT_EQ(view.rowCount(), 0);
    EXPECT_TRUE(view.cpuLoadTimer().isActive());
    EXPECT_EQ(rig.BarText(&CPerformanceControlBar::samplingDurationEdit), "na");
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
    FinishStop(rig);
    EXPECT_EQ(view.flags(), kStopped);
}

TEST(PerformanceViewStop, ClosingDuringTheGracePeriodStillClosesTheCollection) {
    auto rig = std::make_unique<ViewRig>(Target());
    rig->CollectAll();
    ASSERT_TRUE(PumpUntil([&] { return rig->view->rowCount() > 0; }));
    rig->view->OnStop();
    ASSERT_TRUE(rig->view->stopPending());
    RecordingOutput& output = rig->host.output;
    const std::size_t before = output.Status().size();
    delete rig->frame;
    rig->frame = nullptr;
    // The view's teardown told the target and closed the collection itself.
    const std::size_t terminating = output.IndexOf("Terminating", before);
    ASSERT_NE(terminating, std::string::npos);
    EXPECT_NE(output.IndexOf("Send Data to the Target", terminating), std::string::npos);
    // The end of the grace period never comes to the deleted view: the window runs on past it.
    bool later = false;
    QTimer::singleShot(kStopGraceMs + 100, [&later] { later = true; });
    EXPECT_TRUE(PumpUntil([&] { return later; }));
    EXPECT_TRUE(PumpUntil([&] {
        const auto commands = rig->agent->Commands();
        return std::count_if(commands.begin(), commands.end(), [](const agent::ReceivedCommand& c) {
                   return c.command == wire::kCmdStop;
               }) >= 2;
    }));
}

TEST(PerformanceView, ARowClickDuringARunAsksForTheTasksInformation) {
    ViewRig rig(Target());
    CPerformanceView& view = *rig.view;
    rig.CollectAll();
    ASSERT_TRUE(PumpUntil([&] { return view.rowCount() > 0; }));
    std::uint32_t taskId = 0;
    for (int r = 0; r < view.rowCount(); ++r) {
        const TaskRow& row = view.taskTable().row(static_cast<std::size_t>(r));
        if (view.data()->GetTaskType(row.id) == kTypeTask) {
            taskId = row.id;
            break;
        }
    }
    ASSERT_NE(taskId, 0U);
    emit view.taskList()->rowClicked(taskId);
    const auto sentTaskInfo = [&] {
        const auto commands = rig.agent->Commands();
        return std::any_of(commands.begin(), commands.end(), [](const agent::ReceivedCommand& c) {
            return c.command == wire::kCmdTaskInfo;
        });
    };
    EXPECT_TRUE(PumpUntil(sentTaskInfo));
    view.OnStop();
}

// Drives the view into a running collection that receives nothing (the agent holds its stream).
void StartQuietCollection(ViewRig& rig) {
    rig.view->OnStart();
    ASSERT_EQ(rig.view->flags(), kCollecting);
    rig.host.output.Clear();
}

TEST(PerformanceViewNotifications, StatusCodesWriteTheirLines) {
    struct Case {
        std::uint32_t code;
        const char* line;
    };
    const Case cases[] = {
        {host::kCodeTaskInfoCorrupted, "Task Info data corrupted"},
        {host::kCodeDataReceived, "data received"},
        {host::kCodeTaskDataProcessed, "Task data is processed"},
        {host::kCodeNewTaskData, "New Task Data received"},
    };
    ViewRig rig(LastFile("session_v2.zuta"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        rig.host.output.Clear();
        rig.view->PostNotification(host::kNotifyStatus, c.code);
        // Queued to the window thread, never handled inside the call.
        EXPECT_EQ(rig.host.output.CountStatus(c.line), 0U);
        test::RunPostedEvents();
        EXPECT_EQ(rig.host.output.CountStatus(c.line), 1U);
        EXPECT_EQ(rig.view->flags(), kInitialWithFile);
    }
    EXPECT_EQ(rig.view->rowCount(), 3);
}

TEST(PerformanceViewNotifications, NotificationsFromALinkThreadRunOnTheWindowThread) {
    ViewRig rig;
    std::thread link([&] {
        rig.view->PostNotification(host::kNotifyStatus, host::kCodeDataReceived);
        rig.view->PostNotification(host::kNotifyShowTcb, 0);
    });
    link.join();
    // Only queued by the link thread: nothing ran yet.
    EXPECT_EQ(rig.host.output.CountStatus("data received"), 0U);
    test::RunPostedEvents();
    EXPECT_EQ(rig.host.output.CountStatus("data received"), 1U);
    EXPECT_EQ(
        rig.host.output.CountStatus("Task Control Block viewer is not available in this version"),
        1U);
}

TEST(PerformanceViewNotifications, VtuneFileCreatedEnablesStartAndTheLaunch) {
    ViewRig rig;
    rig.view->ShowWaitCursor(true);
    rig.view->PostNotification(host::kNotifyStatus, host::kCodeVtuneFileCreated);
    test::RunPostedEvents();
    EXPECT_FALSE(rig.view->waitCursorShown());
    EXPECT_EQ(rig.host.output.CountStatus("VTune data file created"), 1U);
    ASSERT_EQ(rig.host.messageBox.shown.size(), 1U);
    EXPECT_EQ(rig.host.messageBox.shown[0].text, "VTune data file created");
    const ViewFlags expected = Flags(true, false, false, false, false, true, true);
    EXPECT_EQ(rig.view->flags(), expected);
    ExpectControlsShow(rig, expected);
    rig.view->RunCommand(Command::ConvertToVtune);
    EXPECT_EQ(rig.host.output.CountStatus("Convert to VTune is not available in this version"), 1U);
}

TEST(PerformanceViewNotifications, CorruptedDataStopsARunningCollectionOnce) {
    ViewRig rig(Target(0.0));
    StartQuietCollection(rig);
    rig.view->PostNotification(host::kNotifyStatus, host::kCodeCorruptedData);
    rig.view->PostNotification(host::kNotifyStatus, host::kCodeCorruptedData);
    test::RunPostedEvents();
    FinishStop(rig);
    EXPECT_EQ(rig.view->flags(), kStopped);
    ExpectControlsShow(rig, kStopped);
    EXPECT_EQ(rig.host.output.CountStatus("Corrupted data received"), 1U);
    EXPECT_NE(rig.BarText(&CPerformanceControlBar::samplingDurationEdit), "na");
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
        rig.view->OnStart();
        ASSERT_TRUE(PumpUntil([&] { return rig.view->controller()->endpoint().started(); }));
        rig.agent->ReleaseStream();
        // A stop on the fault unregisters the receiver: the rest of the stream is not awaited.
        ASSERT_TRUE(PumpUntil([&] { return rig.host.output.CountStatus(c.line) > 0; }));
        test::RunPostedEvents();
        FinishStop(rig);
        EXPECT_EQ(rig.host.output.CountStatus(c.line), 1U);
        EXPECT_EQ(rig.view->flags(), c.stops ? kStopped : kCollecting);
        // What came before the fault is in the table.
        EXPECT_GT(rig.view->rowCount(), 0);
        rig.view->OnStop();
    }
}

TEST(PerformanceViewNotifications, CorruptedDataOutsideACollectionChangesNothing) {
    ViewRig rig;
    rig.view->PostNotification(host::kNotifyStatus, host::kCodeCorruptedData);
    test::RunPostedEvents();
    EXPECT_EQ(rig.view->flags(), kInitialNoFile);
    EXPECT_EQ(rig.host.output.CountStatus("Corrupted data received"), 0U);
}

TEST(PerformanceViewNotifications, ALostLinkStopsTheCollection) {
    ViewRig rig(Target(0.0));
    StartQuietCollection(rig);
    rig.view->PostNotification(host::kNotifyStatus, host::kCodeLinkClosed);
    test::RunPostedEvents();
    EXPECT_EQ(rig.host.output.CountStatus("Target link lost"), 1U);
    FinishStop(rig);
    EXPECT_EQ(rig.view->flags(), kStopped);
}

TEST(PerformanceViewNotifications, ChangedSamplingFlagsRebuildTheColumns) {
    ViewRig rig(LastFile("session_v2.zuta"));
    ASSERT_EQ(rig.view->taskTable().columns().size(), 11U);
    rig.view->settings()->simpleMode = true;
    rig.view->PostNotification(host::kNotifyStatus, host::kCodeSamplingFlagsChanged);
    test::RunPostedEvents();
    EXPECT_EQ(rig.view->samplingMode(), wire::kModeSimple);
    EXPECT_TRUE(rig.view->data()->simpleMode());
    EXPECT_EQ(rig.view->taskTable().columns().size(), 4U);
    EXPECT_EQ(rig.view->taskList()->model()->columnCount(), 4);
    EXPECT_EQ(rig.view->rowCount(), 3);

    rig.view->settings()->externalTsMode = true;
    rig.view->PostNotification(host::kNotifyStatus, host::kCodeSamplingFlagsChanged);
    test::RunPostedEvents();
    EXPECT_EQ(rig.view->samplingMode(), wire::kModeExternalTs);
    EXPECT_TRUE(rig.view->data()->externalTsMode());
}

TEST(PerformanceView, DroppingASessionFileLoadsIt) {
    ViewRig rig;
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(kDataDir + "session_v3_crlf.zuta"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(rig.view, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(rig.view, &drop);
    test::RunPostedEvents();
    EXPECT_EQ(rig.view->flags(), kInitialWithFile);
    EXPECT_GT(rig.view->rowCount(), 0);
    EXPECT_EQ(rig.Title(), "ZUTA Session: session_v3_crlf");
    EXPECT_EQ(rig.host.store.ReadString(PerformanceSettings::kSection, "Last Open File"),
              kDataDir + "session_v3_crlf.zuta");
}

TEST(PerformanceView, DropsOfOtherFilesAreRefused) {
    ViewRig rig;
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(kDataDir + "../host/notes.txt"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(rig.view, &enter);
    EXPECT_FALSE(enter.isAccepted());
    EXPECT_FALSE(rig.view->OpenDataFile(kDataDir + "session_v2.txt"));
    EXPECT_EQ(rig.view->flags(), kInitialNoFile);
}

TEST(PerformanceView, CommandsOfLaterDialogsSayTheyAreNotAvailableWhenEnabled) {
    struct Case {
        Command command;
        const char* line; // null: disabled, nothing happens
    };
    ViewRig rig;
    const Case beforeData[] = {
        {Command::SaveData, nullptr},
        {Command::BarSaveData, nullptr},
        {Command::TaskGraph, nullptr},
        {Command::BarCpuGraph, nullptr},
        {Command::FunctionGraph, nullptr},
        {Command::ConvertToVtune, nullptr},
        {Command::LoadData, "Load Data is not available in this version"},
        {Command::BarLoadData, "Load Data is not available in this version"},
        {Command::ImportRawLog, "Import RAW is not available in this version"},
        {Command::ExportToText, "Export to txt is not available in this version"},
        {Command::Settings, "Settings is not available in this version"},
        {Command::IrqMapping, "IRQ Mapping is not available in this version"},
        {Command::FunctionNamesMapping, "Functions Names Mapping is not available in this version"},
    };
    for (const Case& c : beforeData) {
        SCOPED_TRACE(static_cast<unsigned>(c.command));
        rig.host.output.Clear();
        rig.view->RunCommand(c.command);
        if (c.line == nullptr) {
            EXPECT_TRUE(rig.host.output.Status().empty());
        } else {
            EXPECT_EQ(rig.host.output.Status(), std::vector<std::string>{c.line});
        }
    }
    ASSERT_TRUE(rig.view->OpenDataFile(kDataDir + "session_v2.zuta"));
    const Case afterLoad[] = {
        {Command::TaskGraph, "Task Graph is not available in this version"},
        {Command::BarTaskGraph, "Task Graph is not available in this version"},
        {Command::CpuGraph, "CPU Graph is not available in this version"},
        {Command::FunctionGraph, "Function Graph is not available in this version"},
        {Command::BarFunctionGraph, nullptr},
    };
    for (const Case& c : afterLoad) {
        SCOPED_TRACE(static_cast<unsigned>(c.command));
        rig.host.output.Clear();
        rig.view->RunCommand(c.command);
        if (c.line == nullptr) {
            EXPECT_TRUE(rig.host.output.Status().empty());
        } else {
            EXPECT_EQ(rig.host.output.Status(), std::vector<std::string>{c.line});
        }
    }
    // The menu's actions run the same commands.
    rig.host.output.Clear();
    rig.view->menuAction(Command::IrqMapping)->trigger();
    rig.bar().taskGraphAction()->trigger();
    EXPECT_EQ(rig.host.output.Status(),
              (std::vector<std::string>{"IRQ Mapping is not available in this version",
                                        "Task Graph is not available in this version"}));
}

TEST(PerformanceView, ClosingDuringAStreamStopsTheTargetBeforeTheStoreGoes) {
    auto rig = std::make_unique<ViewRig>(Target(0.0, 1.0));
    rig->view->OnStart();
    ASSERT_TRUE(PumpUntil([&] { return rig->view->controller()->endpoint().started(); }));
    rig->agent->ReleaseStream();
    ASSERT_TRUE(PumpUntil([&] { return rig->link->dataBytesDelivered() > 4096; }));
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
    EXPECT_TRUE(PumpUntil([&] {
        const auto commands = rig->agent->Commands();
        return !commands.empty() && commands.back().command == wire::kCmdStop;
    }));
}

} // namespace
} // namespace zuta::performance
