#include "HostSession.h"
#include "MainWindow.h"
#include "QtTestApp.h"
#include "WorkspaceFile.h"
#include "support/TempFolder.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

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

TEST_F(HostApplicationTest, WorkspaceSurvivesARestartThroughTheLoadedModule) {
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
    session.Shutdown(false);
}

// The titles of the main menu bar, in order.
QStringList MenuTitles(MainWindow& window) {
    QStringList titles;
    for (QAction* action : window.menuBar()->actions()) {
        titles << action->text();
    }
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
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator()) {
            entries << action->text() + (action->isEnabled() ? "" : " (off)");
        }
    }
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

TEST_F(HostApplicationTest, AClosedWindowIsNotReopenedNextTime) {
    const std::string workspace = Path("workspace.ini");
    host::WorkspaceMap before;
    before.Set("ZUTA Window", "1");
    before.Set("ZUTA Window Placement", "Maximized");
    ASSERT_TRUE(WriteWorkspaceFile(workspace, before));

    MainWindow window(Path("settings.ini"));
    HostSession session(window, workspace);
    ASSERT_TRUE(session.Start(ZUTA_MODULE_PATH)) << session.error();
    ASSERT_EQ(window.mdiArea()->subWindowList().size(), 1);
    window.mdiArea()->subWindowList()[0]->close();
    test::RunPostedEvents();
    session.Shutdown(true);

    const host::WorkspaceMap after = ReadWorkspaceFile(workspace);
    ASSERT_NE(after.Find("ZUTA Window"), nullptr);
    EXPECT_EQ(*after.Find("ZUTA Window"), "0");
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
    std::thread first([&output] {
        for (int i = 0; i < 50; ++i) {
            output.WriteStatusLine("first " + std::to_string(i));
        }
    });
    std::thread second([&output] {
        for (int i = 0; i < 50; ++i) {
            output.WriteStatusLine("second " + std::to_string(i));
        }
    });
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

} // namespace
} // namespace zuta::hostapp
