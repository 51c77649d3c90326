#include "MainWindow.h"
#include "Performance/PerformanceControlBar.h"
#include "Performance/PerformanceDoc.h"
#include "Performance/PerformanceExports.h"
#include "Performance/PerformanceFrame.h"
#include "Performance/PerformanceManager.h"
#include "Performance/PerformanceView.h"
#include "Performance/ResourceSwitch.h"
#include "Performance/WindowPlacement.h"
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
        closes += event->type() == QEvent::Close;
        return false;
    }
};

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
        if (documentTemplate == nullptr)
            return nullptr;
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
// one leaves the rectangle saved before in the map. Nothing is restored unless the window was open.
TEST_F(PerformanceModuleTest, SavesTheWindowStateAndRestoresIt) {
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

    for (const bool maximized : {true, false}) {
        SCOPED_TRACE(maximized);
        QPointer<CPerformanceFrame> frame = OpenDocument();
        ASSERT_NE(frame, nullptr);
        maximized ? frame->showMaximized() : frame->showMinimized();
        host::WorkspaceMap map;
        map.Set("ZUTA Window Rect", "RECT(1,2,3,4)");
        ASSERT_TRUE(SaveWorkspace(&map));
        const std::map<std::string, std::string, std::less<>> saved = {
            {"ZUTA Window", "1"},
            {"ZUTA Window Placement", maximized ? "Maximized" : "Minimized"},
            {"ZUTA Window Rect", "RECT(1,2,3,4)"}};
        EXPECT_EQ(map.entries(), saved);
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

TEST(WindowPlacementTest, ReadsLikeTheScanfPattern) {
    struct Case {
        const char* text;
        WindowRect expected;
    };
    const Case cases[] = {
        {"RECT(10,20,410,320)", {10, 20, 410, 320}},
        {"RECT( 1, +2,\t3,4)", {1, 2, 3, 4}},
        {"RECT(1,2,3,4) and more", {1, 2, 3, 4}},
        // Reading stops at the first mismatch; what was read stays.
        {"RECT(1,2)", {1, 2, 0, 0}},
        {"RECT(1,x,3,4)", {1, 0, 0, 0}},
        {"RECT(1 ,2,3,4)", {1, 0, 0, 0}},
        {"RECT(99999999999,2,3,4)", {0, 0, 0, 0}},
        {"rect(1,2,3,4)", {0, 0, 0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseWindowRect(c.text), c.expected) << c.text;
}

// A scope makes the module it finds current inside it only; one that finds none says so and keeps
// the current one.
TEST(ResourceSwitchTest, TheFoundModuleIsCurrentInsideTheScopeOnly) {
    test::RecordingMessageBox box;
    const auto outer = [] { return ModuleLocation{true, "/opt/a/libZUTA.so", {}}; };
    const auto inner = [] { return ModuleLocation{true, "/opt/b/libZUTA.so", {}}; };
    const auto missing = [] { return ModuleLocation{false, {}, "no such module"}; };
    {
        const CCustomResourceScope first("PerformanceManager", 58, &box, outer);
        EXPECT_EQ(CurrentResourceModule(), "/opt/a/libZUTA.so");
        {
            const CCustomResourceScope second("PerformanceFrame", 74, &box, inner);
            EXPECT_TRUE(second.switched());
            EXPECT_EQ(CurrentResourceModule(), "/opt/b/libZUTA.so");
        }
        EXPECT_EQ(CurrentResourceModule(), "/opt/a/libZUTA.so");
        const CCustomResourceScope third("PerformanceFrame", 74, &box, missing);
        EXPECT_FALSE(third.switched());
        EXPECT_EQ(CurrentResourceModule(), "/opt/a/libZUTA.so");
    }
    EXPECT_EQ(CurrentResourceModule(), "");
    ASSERT_EQ(box.shown.size(), 1U);
    EXPECT_EQ(box.shown[0].caption, "Error in - Use Custom Resource");
    EXPECT_EQ(box.shown[0].icon, host::MessageIcon::Error);
    EXPECT_EQ(box.shown[0].text, "Failed to change resource handle\n(System error: no such module "
                                 ")\nMudule name: libZUTA.so\nSource Files:PerformanceFrame, 74");
}

} // namespace
} // namespace zuta::performance
