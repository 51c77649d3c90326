#include "HostSession.h"
#include "MainWindow.h"
#include "QtTestApp.h"
#include "WorkspaceFile.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

namespace zuta::hostapp {
namespace {

namespace fs = std::filesystem;

class HostApplicationTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::TestApplication();
        folder_ = fs::temp_directory_path() /
                  ("zuta-host-test-" +
                   std::to_string(::testing::UnitTest::GetInstance()->current_test_info()->line()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string Path(const char* name) const { return (folder_ / name).string(); }

    static std::string ReadText(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path folder_;
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
    const std::string text = ReadText(workspace);
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
