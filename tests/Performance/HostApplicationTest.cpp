// The host application: the module loaded through the dynamic loader as zuta-host runs it, its
// workspace, menus and output pane, its file dialog on Qt, its link to a target (--simulate,
// --agent); and the main window, the graphs, the session pie, the distribution charts and the
// dialogs pictured by `zuta render` and `zuta screenshot` through the host.
#include "HostSession.h"
#include "MainWindow.h"
#include "QtFileDialog.h"
#include "QtTestApp.h"
#include "TargetConnection.h"
#include "WorkspaceFile.h"
#include "agent/CollectorAgent.h"
#include "support/CollectionRig.h"
#include "support/TempFolder.h"
#include "support/Wait.h"

#include <QAbstractButton>
#include <QAction>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <utility>

namespace zuta::hostapp {
namespace {

namespace fs = std::filesystem;

class HostApplicationTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::TestApplication();
        ASSERT_FALSE(folder_.path().empty());
    }

    std::string Path(const char* name) const { return folder_ / name; }

    test::TempFolder folder_{"zuta-host-test"};
};

// The window's place survives a restart through the loaded module; a window closed before the
// host ends is not reopened the next time.
TEST_F(HostApplicationTest, WorkspaceSurvivesARestartAndAClosedWindowStaysClosed) {
    const std::string workspace = Path("workspace.ini");
    {
        MainWindow window(Path("settings.ini"));
        window.resize(1200, 900);
        window.show();
        HostSession session(window, workspace);
        ASSERT_TRUE(session.Start(ZUTA_MODULE_PATH)) << session.error();
        host::IDocumentTemplate* documentTemplate = window.FindDocumentTemplate("ZUTA");
        ASSERT_NE(documentTemplate, nullptr);
        auto* frame = static_cast<QWidget*>(documentTemplate->OpenNewDocument());
        ASSERT_NE(frame, nullptr);
        frame->setGeometry(10, 20, 400, 300);
        session.Shutdown(true);
        EXPECT_EQ(window.FindDocumentTemplate("ZUTA"), nullptr);
        EXPECT_TRUE(window.mdiArea()->subWindowList().isEmpty());
    }
    const std::string text = test::ReadFileBytes(workspace);
    EXPECT_NE(text.find("ZUTA Window=1"), std::string::npos) << text;
    EXPECT_NE(text.find("ZUTA Window Placement=Normal"), std::string::npos) << text;
    EXPECT_NE(text.find("ZUTA Window Rect=RECT(10,20,410,320)"), std::string::npos) << text;

    MainWindow window(Path("settings.ini"));
    window.resize(1200, 900);
    window.show();
    HostSession session(window, workspace);
    ASSERT_TRUE(session.Start(ZUTA_MODULE_PATH)) << session.error();
    test::RunPostedEvents();
    const QList<QMdiSubWindow*> frames = window.mdiArea()->subWindowList();
    ASSERT_EQ(frames.size(), 1);
    EXPECT_EQ(frames[0]->geometry(), QRect(10, 20, 400, 300));
    EXPECT_EQ(frames[0]->windowTitle(), "Zutascope");
    // The loaded module is named without its folder.
    const QString first = window.outputPane()->toPlainText().split(QLatin1Char('\n')).front();
    EXPECT_EQ(first.toStdString(), "Loaded module " +
                                       fs::path(ZUTA_MODULE_PATH).filename().string() + " " +
                                       session.module().moduleVersion());
    frames[0]->close();
    test::RunPostedEvents();
    session.Shutdown(true);
    const host::WorkspaceMap after = ReadWorkspaceFile(workspace);
    ASSERT_NE(after.Find("ZUTA Window"), nullptr);
    EXPECT_EQ(*after.Find("ZUTA Window"), "0");
}

// The titles of the main menu bar, in order.
QStringList MenuTitles(MainWindow& window) {
    QStringList titles;
    for (QAction* action : window.menuBar()->actions())
        titles << action->text();
    return titles;
}

TEST_F(HostApplicationTest, TheModulesMenuIsInTheMenuBarWhileItsWindowIsActive) {
    MainWindow window(Path("settings.ini"));
    window.resize(1200, 900);
    window.show();
    HostSession session(window, Path("workspace.ini"));
    ASSERT_TRUE(session.Start(ZUTA_MODULE_PATH)) << session.error();
    const QStringList hostMenus = {"&File", "&View", "&Window"};
    EXPECT_EQ(MenuTitles(window), hostMenus);

    host::IDocumentTemplate* documentTemplate = window.FindDocumentTemplate("ZUTA");
    ASSERT_NE(documentTemplate, nullptr);
    auto* frame =
        qobject_cast<QMdiSubWindow*>(static_cast<QWidget*>(documentTemplate->OpenNewDocument()));
    ASSERT_NE(frame, nullptr);
    test::RunPostedEvents();
    EXPECT_EQ(MenuTitles(window), (QStringList{"&File", "&View", "&Performance", "&Window"}));
    // Shown by the host, not a second time inside the window.
    const QList<QMenuBar*> ownBars = frame->widget()->findChildren<QMenuBar*>();
    ASSERT_EQ(ownBars.size(), 1);
    EXPECT_TRUE(ownBars[0]->isHidden());
    // The host's entry is the module's menu with its commands and their enabling.
    QMenu* menu = window.frameMenuShown();
    ASSERT_NE(menu, nullptr);
    QStringList entries;
    for (QAction* action : menu->actions())
        if (!action->isSeparator())
            entries << action->text() + (action->isEnabled() ? "" : " (off)");
    EXPECT_EQ(entries, (QStringList{"&Start", "S&top (off)", "RAW Data", "Graph", "S&ettings",
                                    "Names mapping"}));

    // Another window of the area takes its place: the menu goes, and comes back with it.
    auto* other = window.mdiArea()->addSubWindow(new QWidget());
    other->show();
    window.mdiArea()->setActiveSubWindow(other);
    test::RunPostedEvents();
    EXPECT_EQ(MenuTitles(window), hostMenus);
    window.mdiArea()->setActiveSubWindow(frame);
    test::RunPostedEvents();
    EXPECT_EQ(MenuTitles(window), (QStringList{"&File", "&View", "&Performance", "&Window"}));

    frame->close();
    test::RunPostedEvents();
    EXPECT_EQ(window.frameMenuShown(), nullptr);
    EXPECT_EQ(MenuTitles(window), hostMenus);
    session.Shutdown(false);
}

TEST_F(HostApplicationTest, AMissingModuleIsReportedAndNothingIsCalled) {
    MainWindow window(Path("settings.ini"));
    HostSession session(window, Path("workspace.ini"));
    EXPECT_FALSE(session.Start(Path("libMissing.so")));
    EXPECT_FALSE(session.error().empty());
    test::RunPostedEvents();
    EXPECT_TRUE(window.outputPane()->toPlainText().startsWith("Cannot load module "));
    session.Shutdown(true);
    EXPECT_FALSE(fs::exists(Path("workspace.ini")));
}

TEST_F(HostApplicationTest, OutputLinesFromOtherThreadsArriveWhole) {
    MainWindow window(Path("settings.ini"));
    host::IOutputWindow& output = window.OutputWindow();
    const auto write = [&output](const std::string& name) {
        for (int i = 0; i < 50; ++i)
            output.WriteStatusLine(name + std::to_string(i));
    };
    std::thread first(write, "first ");
    std::thread second(write, "second ");
    first.join();
    second.join();
    output.WriteRawText("raw");
    output.WriteRawText(" text");
    test::RunPostedEvents();
    const QStringList lines = window.outputPane()->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 101);
    EXPECT_EQ(lines.filter(QStringLiteral("first ")).size(), 50);
    EXPECT_EQ(lines.filter(QStringLiteral("second ")).size(), 50);
    EXPECT_EQ(lines.back(), "raw text");
}

// The module's file types as Qt's name filters; the real dialog, answered through its own
// controls, gives a name typed without an extension the default one.
TEST(QtFileDialog, FiltersAndTheDefaultExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"ZUT RAW data files (*.zuta) | *.zuta", "ZUT RAW data files (*.zuta)"},
        {"Logs | *.log;*.txt", "Logs (*.log *.txt)"},
        {"A (*.a) | *.a | B (*.b) | *.b", "A (*.a);;B (*.b)"},
    };
    for (const auto& [fileTypes, filters] : cases)
        EXPECT_EQ(QtFileDialog::NameFilters(fileTypes).toStdString(), filters);

    test::TestApplication();
    test::TempFolder folder;
    QTimer::singleShot(0, [&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QFileDialog*>(window); dialog && dialog->isVisible()) {
                dialog->setDirectory(QString::fromStdString(folder.path().string()));
                dialog->selectFile(QStringLiteral("run"));
                auto* buttons = dialog->findChild<QDialogButtonBox*>();
                for (QAbstractButton* button : buttons->buttons())
                    if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole)
                        button->click();
            }
        }
    });
    QtFileDialog dialogs;
    EXPECT_EQ(dialogs.SaveFile({"ZUT RAW data files (*.zuta) | *.zuta", "zuta", true, false}),
              folder / "run.zuta");
}

std::size_t ThreadCount() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

using test::WaitUntil;
using HostTargetTest = HostApplicationTest;

TEST_F(HostTargetTest, SimulatedTargetServesACollectionAndEveryThreadIsJoined) {
    MainWindow window(folder_ / "settings.ini");
    const std::size_t threadsBefore = ThreadCount();
    {
        TargetConnection target;
        std::string error;
        TargetOptions options;
        options.simulate = true;
        ASSERT_TRUE(target.Start(options, error)) << error;
        ASSERT_TRUE(target.connected());
        ASSERT_NE(target.simulatedAgent(), nullptr);
        EXPECT_EQ(target.description().rfind("simulated target at 127.0.0.1:", 0), 0u);

        // The module finds the links through the host window.
        window.SetTargetLinks(target.commandLink(), target.dataLink(), target.senderNameResolver());
        host::IHostWindow& host = window;

        test::StoreRig store;
        auto controller = std::make_unique<CollectionController>(
            store.Collection(host.CommandLink(), host.DataLink(), host.SenderNameResolver()));
        ASSERT_TRUE(controller->Start());
        EXPECT_TRUE(WaitUntil([&] { return controller->endpoint().started(); }));
        // The stream reaches the store.
        EXPECT_TRUE(WaitUntil([&] {
            return store.data.Read([](const StoreState& state) { return state.switchCount; }) > 0;
        }));
        controller->Stop();
        controller.reset();

        window.SetTargetLinks(nullptr, nullptr, nullptr);
        target.Shutdown();
        EXPECT_FALSE(target.connected());
        EXPECT_EQ(target.commandLink(), nullptr);
        // The agent's listener, connections and stream and the link's delivery threads are gone.
        EXPECT_EQ(ThreadCount(), threadsBefore);
        target.Shutdown();
    }
    EXPECT_EQ(ThreadCount(), threadsBefore);
}

TEST_F(HostTargetTest, TargetOptionsAreChecked) {
    struct Case {
        bool simulate;
        const char* agent;
        const char* fault;
        bool accepted;
        bool connected;
    };
    for (const Case c :
         {Case{false, "", nullptr, true, false}, Case{false, "127.0.0.1:4711", nullptr, true, true},
          Case{false, "no-port-here", nullptr, false, false}, Case{true, "", "burst@2", true, true},
          Case{true, "", "smoke", false, false}}) {
        SCOPED_TRACE(std::string(c.agent) + " " + (c.fault != nullptr ? c.fault : ""));
        TargetConnection target;
        TargetOptions options;
        options.simulate = c.simulate;
        options.agentAddress = c.agent;
        if (c.fault != nullptr)
            options.faults.push_back(c.fault);
        std::string error;
        EXPECT_EQ(target.Start(options, error), c.accepted);
        EXPECT_EQ(error.empty(), c.accepted) << error;
        EXPECT_EQ(target.connected(), c.connected);
        EXPECT_EQ(target.commandLink() != nullptr, c.connected);
    }
}

// The host started on its own with the simulated target: it draws its window and exits.
TEST_F(HostTargetTest, HostWithTheSimulatedTargetStartsDrawsAndExits) {
    const fs::path png = folder_ / "simulate.png";
    const std::string command = std::string("QT_QPA_PLATFORM=offscreen '") + ZUTA_HOST_PATH +
                                "' --simulate --settings '" + (folder_ / "s.ini") +
                                "' --workspace '" + (folder_ / "w.ini") + "' --screenshot '" +
                                png.string() + "' 2>/dev/null";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(QImage(QString::fromStdString(png.string())).isNull());
}

// The files pictured, quoted for the shell.
const std::string kCapture = "'" ZUTA_EXAMPLES_DIR "/modem-full.zcap'";
const std::string kSession = "'" ZUTA_TEST_DATA_DIR "/files/session_v2.zuta'";
const std::string kBadVersion = "'" ZUTA_TEST_DATA_DIR "/files/bad_version.zuta'";
const std::string kCalls = "'" ZUTA_TEST_DATA_DIR "/tools/calls-small.zuta'";

// Runs `zuta` with a home folder of its own in `folder`, the picture going to picture.png there
// and the errors to err.txt; the exit status.
int RunZuta(const test::TempFolder& folder, const std::string& arguments,
            const std::string& host = ZUTA_HOST_PATH) {
    const std::string command = "HOME='" + (folder / "home") + "' XDG_CONFIG_HOME= '" +
                                ZUTA_TOOL_PATH + "' " + arguments + " -o '" +
                                (folder / "picture.png") + "' --host '" + host + "' 2>'" +
                                (folder / "err.txt") + "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A picture never waits for a user and leaves the user's settings and workspace alone.
TEST(RenderCommandsTest, PicturesTheWindowsOfAFileOrSaysWhyNot) {
    test::TempFolder folder;
    fs::create_directories(folder.path() / "home");
    const std::string png = folder / "picture.png";
    const std::string hanging = folder / "hanging-host";
    test::WriteFileBytes(hanging, "#!/bin/sh\nsleep 30\n");
    fs::permissions(hanging, fs::perms::owner_all);
    struct Case {
        std::string arguments;
        int status;
        QPoint at; // a pixel of the picture and its colour; (0, 0): none checked
        QColor colour = {};
        std::string error = {}; // a text of the error output
        std::string host = ZUTA_HOST_PATH;
    };
    const Case cases[] = {
        {"screenshot main " + kSession, 0, {}},
        // A file the module refuses with a message box: the box is written out and answered.
        {"screenshot main " + kBadVersion, 0, {}, {}, "Unsupported ZUTA file version"},
        // The timeline's grey under the rows of boxes.
        {"render cpu-graph " + kCapture + " --session 3", 0, {400, 232}, QColor(200, 200, 200)},
        {"render cpu-graph " + kCapture + " --mask NoSuchTask", 1, {}},
        // The idle task's share, 57 % of session 3.
        {"render pie " + kCapture + " --session 3", 0, {400, 300}, QColor(0, 51, 255)},
        // The idle task's share of the context switches, 21 %.
        {"render distribution " + kCapture + " --statistic 1", 0, {400, 350}, QColor(102, 204, 51)},
        {"render distribution " + kCapture + " --statistic 6", 2, {}},
        // The selected box of the session's third sample; the host's status names a page the
        // session does not have.
        {"render task-graph " + kSession + " --select 3", 0, {256, 32}, QColor(204, 51, 204)},
        {"render task-graph " + kSession + " --page 1", 2, {}},
        {"render function-graph " + kCalls + " --zoom 1 --first 5 --select 6", 0, {}},
        {"render function-graph " + kCalls + " --first 7", 2, {}},
        // Fn4's call (the fifth colour) spans the graph, its frame at the row's top.
        {"render function-graph " + kCalls + " --select 4", 0, {400, 22}, QColor(102, 204, 51)},
        {"screenshot settings", 0, {}},
        {"screenshot dialog", 2, {}},
        {"screenshot main", 3, {}, {}, "", folder / "missing-host"},
        // A host that hangs is stopped at the time limit.
        {"screenshot main --time-limit 1", 3, {}, {}, "", hanging},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        fs::remove(png);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(RunZuta(folder, c.arguments, c.host), c.status);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        const QImage picture(QString::fromStdString(png));
        EXPECT_EQ(picture.isNull(), c.status != 0);
        if (!c.at.isNull() && !picture.isNull()) {
            EXPECT_EQ(picture.pixelColor(c.at), c.colour);
        }
        EXPECT_NE(test::ReadFileBytes(folder / "err.txt").find(c.error), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(folder.path() / "home" / ".config" / "zuta"));
}

} // namespace
} // namespace zuta::hostapp
