#include "MainWindow.h"
#include "Performance/PerformanceControlBar.h"
#include "Performance/PerformanceDoc.h"
#include "Performance/PerformanceExports.h"
#include "Performance/PerformanceFrame.h"
#include "Performance/PerformanceManager.h"
#include "Performance/PerformanceView.h"
#include "ViewHost.h"
#include "host/Workspace.h"

#include <QDockWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QVariant>
#include <gtest/gtest.h>

namespace zuta::performance {
namespace {

// Counts the close events a widget receives.
class CloseCounter final : public QObject {
public:
    int closes = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Close) {
            ++closes;
        }
        return false;
    }
};

std::string Value(const host::WorkspaceMap& map, std::string_view key) {
    const std::string* value = map.Find(key);
    return value != nullptr ? *value : "(none)";
}

class PerformanceModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::TestApplication();
        window_ = std::make_unique<hostapp::MainWindow>(folder_ / "settings.ini");
        window_->resize(1200, 900);
        window_->show();
        ASSERT_TRUE(Init());
    }
    void TearDown() override {
        Term();
        window_->RemoveDocumentTemplates();
        window_.reset();
        test::RunPostedEvents();
    }

    CPerformanceFrame* OpenDocument() {
        host::IDocumentTemplate* documentTemplate = window_->FindDocumentTemplate("ZUTA");
        if (documentTemplate == nullptr) {
            return nullptr;
        }
        auto* frame = static_cast<CPerformanceFrame*>(
            static_cast<QWidget*>(documentTemplate->OpenNewDocument()));
        test::RunPostedEvents();
        return frame;
    }

    QDockWidget* PaneOf(CPerformanceFrame* frame) {
        return frame->controlBar() != nullptr
                   ? qobject_cast<QDockWidget*>(frame->controlBar()->parentWidget())
                   : nullptr;
    }

    test::TempFolder folder_{"zuta-module-test"};
    std::unique_ptr<hostapp::MainWindow> window_;
};

TEST_F(PerformanceModuleTest, PaneAndFrameCloseEachOtherOnceFromEitherSide) {
    enum class From { Pane, Frame, CloseWorkspace, Term };
    for (const From from : {From::Pane, From::Frame, From::CloseWorkspace, From::Term}) {
        SCOPED_TRACE(static_cast<int>(from));
        if (CPerformanceManager::Instance() == nullptr) {
            ASSERT_TRUE(Init());
        }
        QPointer<CPerformanceFrame> frame = OpenDocument();
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(CPerformanceManager::Instance()->frame, frame);
        ASSERT_TRUE(frame->view() != nullptr && frame->view()->initialUpdateDone());
        QPointer<QDockWidget> pane = PaneOf(frame);
        ASSERT_NE(pane, nullptr);
        EXPECT_TRUE(pane->isVisible());
        EXPECT_EQ(pane->windowTitle(), "ZUT Tool");
        QPointer<CPerformanceControlBar> bar = frame->controlBar();
        CloseCounter frameCloses;
        CloseCounter paneCloses;
        frame->installEventFilter(&frameCloses);
        pane->installEventFilter(&paneCloses);
        switch (from) {
        case From::Pane:
            pane->close();
            break;
        case From::Frame:
            frame->close();
            EXPECT_EQ(CPerformanceManager::Instance()->frame, nullptr);
            break;
        case From::CloseWorkspace:
            CloseWorkspace();
            break;
        case From::Term:
            Term();
            // Nothing of the module may be left for the event loop once the host can unload it.
            EXPECT_TRUE(frame.isNull());
            EXPECT_TRUE(bar.isNull());
            break;
        }
        test::RunPostedEvents();
        EXPECT_TRUE(frame.isNull());
        EXPECT_TRUE(pane.isNull());
        EXPECT_TRUE(bar.isNull());
        EXPECT_LE(frameCloses.closes, 2);
        EXPECT_LE(paneCloses.closes, 2);
        EXPECT_TRUE(window_->mdiArea()->subWindowList().isEmpty());
        // With the window gone these do nothing.
        CloseWorkspace();
        host::WorkspaceMap map;
        EXPECT_FALSE(SaveWorkspace(&map));
        EXPECT_TRUE(map.entries().empty());
    }
}

// A normal window's rectangle survives a restart (HostApplicationTest); a maximized or minimized
// one leaves the rectangle saved before in the map.
TEST_F(PerformanceModuleTest, SavesTheWindowStateAndRestoresIt) {
    for (const bool maximized : {true, false}) {
        SCOPED_TRACE(maximized);
        QPointer<CPerformanceFrame> frame = OpenDocument();
        ASSERT_NE(frame, nullptr);
        maximized ? frame->showMaximized() : frame->showMinimized();
        host::WorkspaceMap map;
        map.Set("ZUTA Window Rect", "RECT(1,2,3,4)");
        ASSERT_TRUE(SaveWorkspace(&map));
        EXPECT_EQ(Value(map, "ZUTA Window Placement"), maximized ? "Maximized" : "Minimized");
        EXPECT_EQ(Value(map, "ZUTA Window Rect"), "RECT(1,2,3,4)");
        frame->close();
        test::RunPostedEvents();

        LoadWorkspace(&map);
        test::RunPostedEvents();
        frame = CPerformanceManager::Instance()->frame.data();
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->isMaximized(), maximized);
        EXPECT_EQ(frame->isMinimized(), !maximized);
        frame->close();
        test::RunPostedEvents();
    }
}

TEST_F(PerformanceModuleTest, RestoresNothingUnlessTheWindowWasOpen) {
    for (const char* value : {"", "0", "1 ", "yes"}) {
        host::WorkspaceMap map;
        map.Set("ZUTA Window", value);
        LoadWorkspace(&map);
    }
    host::WorkspaceMap empty;
    LoadWorkspace(&empty);
    test::RunPostedEvents();
    EXPECT_TRUE(window_->mdiArea()->subWindowList().isEmpty());
    EXPECT_EQ(CPerformanceManager::Instance()->frame, nullptr);
}

TEST(PerformanceManagerTest, InitTwiceRegistersOneTemplate) {
    QApplication& application = test::TestApplication();
    test::ViewHost host;
    application.setProperty(
        host::kHostWindowProperty,
        QVariant::fromValue(static_cast<void*>(static_cast<host::IHostWindow*>(&host))));
    EXPECT_TRUE(Init());
    CPerformanceManager* manager = CPerformanceManager::Instance();
    EXPECT_TRUE(Init());
    EXPECT_EQ(CPerformanceManager::Instance(), manager);
    ASSERT_EQ(host.templates.size(), 1U);
    EXPECT_EQ(host.templates[0]->Name(), "ZUTA");
    EXPECT_TRUE(manager->registered);

    // A host that cannot find the template leaves the workspace unopened.
    host::WorkspaceMap map;
    map.Set("ZUTA Window", "1");
    LoadWorkspace(&map);
    EXPECT_EQ(manager->frame, nullptr);

    // After Term a new manager registers again.
    Term();
    EXPECT_EQ(CPerformanceManager::Instance(), nullptr);
    EXPECT_TRUE(Init());
    EXPECT_EQ(host.templates.size(), 2U);
    Term();
    application.setProperty(host::kHostWindowProperty, QVariant());
}

} // namespace
} // namespace zuta::performance
