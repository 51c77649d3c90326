// The CPU usage graph on the example capture, driven offscreen as the user drives it: the buttons,
// clicks and message boxes the plain models leave to the dialog.
#include "Performance/CpuUsageGraphDlg.h"
#include "Performance/PieChartDlg.h"
#include "Performance/TimeSequenceDlg.h"
#include "Performance/ViewWindows.h"
#include "ViewHost.h"
#include "collection/CollectionSession.h"
#include "engine/PerformanceData.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <string>

namespace zuta::performance {
namespace {

// The view with the example capture loaded and its table rows built.
struct GraphRig {
    explicit GraphRig(const char* idleTaskName = nullptr) {
        std::string error;
        EXPECT_TRUE(rig.view->session()->Open(ZUTA_EXAMPLES_DIR "/modem-full.zcap", error))
            << error;
        if (idleTaskName != nullptr)
            rig.view->data()->SetIdleTaskName(idleTaskName);
        rig.view->RefreshTableNow();
        test::RunPostedEvents();
        dialog = static_cast<CCpuUsageGraphDlg*>(FindViewWindow("cpu-graph")->open(*rig.view));
    }

    std::string Cell(QTableWidget* list, int row, int column = 1) const {
        const QTableWidgetItem* item = list->item(row, column);
        return item == nullptr ? std::string() : item->text().toStdString();
    }
    std::uint32_t IdOf(const char* name) const { return rig.view->data()->GetTaskIdByName(name); }
    PerformanceSettings StoredSettings() {
        PerformanceSettings settings;
        settings.load(rig.host.store);
        return settings;
    }

    test::ViewInHost rig;
    QPointer<CCpuUsageGraphDlg> dialog;
};

TEST(CpuUsageGraphTest, StepButtonsFollowTheSessionsAndRefreshAndClosingSaveTheMaskEvent) {
    GraphRig g;
    ASSERT_TRUE(g.dialog && g.dialog->built());
    CCpuUsageGraphDlg& d = *g.dialog;
    EXPECT_EQ(d.maskId(), g.IdOf("FrameInt"));
    struct Step {
        QPushButton* button;
        const char* goTo;
        std::uint32_t session;
    };
    const Step steps[] = {
        {d.goButton(), "5", 5},   {d.nextButton(), nullptr, 6}, {d.previousButton(), nullptr, 5},
        {d.goButton(), "217", 5}, {d.goButton(), "216", 216},
    };
    for (const Step& step : steps) {
        if (step.goTo != nullptr)
            d.goToEdit()->setText(QString::fromLatin1(step.goTo));
        step.button->click();
        ASSERT_EQ(d.selectedSession(), step.session);
        EXPECT_EQ(g.Cell(d.sessionDetails(), 1), std::to_string(step.session));
        EXPECT_EQ(d.paging().page(), step.session / 150);
        EXPECT_EQ(d.nextButton()->isEnabled(), step.session < 216);
    }
    // Refresh and closing save the mask event and the threshold; the next graph starts from them.
    d.maskList()->setCurrentText(QStringLiteral("Tmr1"));
    d.refreshButton()->click();
    EXPECT_EQ(d.sessions().sessions.size(), 100u);
    EXPECT_EQ(g.StoredSettings().maskEvent, "Tmr1");
    d.thresholdEdit()->setText(QStringLiteral("1500"));
    d.close();
    EXPECT_EQ(g.StoredSettings().threshold, 1500u);
    EXPECT_EQ(OpenCpuUsageGraph(*g.rig.view, false)->maskId(), g.IdOf("Tmr1"));
}

TEST(CpuUsageGraphTest, MessagesForMissingIdleTaskTasksAndMarkers) {
    {
        GraphRig g("NoSuchTask");
        EXPECT_FALSE(g.dialog->built());
        g.dialog->findButton()->click();
        ASSERT_EQ(g.rig.host.messageBox.shown.size(), 2u);
        EXPECT_EQ(g.rig.host.messageBox.shown[0].text, "No Idle Task found");
        EXPECT_EQ(g.rig.host.messageBox.shown[0].caption, "Error");
        EXPECT_EQ(g.rig.host.messageBox.shown[1].text, "No Tasks");
    }
    GraphRig g;
    CCpuUsageGraphDlg& d = *g.dialog;
    const auto& shown = g.rig.host.messageBox.shown;
    // Find selects a run of the task inside a session and names it; after the last, it says so.
    d.findList()->setCurrentText(QStringLiteral("CC_Task"));
    d.findButton()->click();
    ASSERT_TRUE(shown.empty());
    EXPECT_EQ(d.samples()[d.selectedSample()].id, g.IdOf("CC_Task"));
    EXPECT_EQ(g.Cell(d.taskDetails(), 0), "CC_Task");
    int found = 1;
    for (; found < 8 && shown.empty(); ++found)
        d.findButton()->click();
    EXPECT_TRUE(found >= 2 && found <= 7) << found;
    // Nothing marked after the last session counts.
    d.goToEdit()->setText(QStringLiteral("216"));
    d.goButton()->click();
    d.bookmarkNextButton()->click();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text + "/" + shown[0].caption, "No task found/No Tasks");
    EXPECT_EQ(shown[1].text + "/" + shown[1].caption, "No marker found/No Markers");
}

TEST(CpuUsageGraphTest, ClicksSelectAndToggleModesAndTheZoomShowsAllSessions) {
    GraphRig g;
    CCpuUsageGraphDlg& d = *g.dialog;
    // A left click selects the session right of the point at or left of it, and a box.
    const graphs::Point point = d.chart().points().at(4);
    QTest::mouseClick(&d, Qt::LeftButton, {}, QPoint(point.x + 1, point.y));
    EXPECT_EQ(d.selectedSession(), 5u);
    EXPECT_EQ(d.goToEdit()->text(), QStringLiteral("5"));
    const graphs::TimelineBox box = d.TimelineBoxes().at(2);
    QTest::mouseClick(&d, Qt::LeftButton, {}, QPoint(box.rect.left, box.rect.top));
    EXPECT_EQ(d.selectedSample(), box.sample);
    d.allButton()->click();
    EXPECT_EQ(d.chart().points().size(), 217u);
    EXPECT_EQ(d.scrollBar()->maximum(), 1);
    // A right click toggles the mode of the part it lands in.
    const auto inside = [](const graphs::Rect& r) {
        return QPoint(r.left + r.width() / 2, r.top + 2);
    };
    const bool lineBefore = d.chart().lineMode();
    QTest::mouseClick(&d, Qt::RightButton, {}, inside(d.ChartRect()));
    EXPECT_NE(d.chart().lineMode(), lineBefore);
    QTest::mouseClick(&d, Qt::RightButton, {}, inside(d.TimelineRect()));
    EXPECT_EQ(d.timelineMode(), graphs::TimelineMode::EqualWidth);
}

TEST(CpuUsageGraphTest, BookmarkSearchSelectsTheBookmarkAndHexChangesItsTexts) {
    GraphRig g;
    CCpuUsageGraphDlg& d = *g.dialog;
    d.bookmarkList()->setCurrentText(QStringLiteral("0x3"));
    // User events before an occurrence move it further from its count of switch samples.
    for (const auto& [session, data] : {std::pair{3u, 1u}, std::pair{5u, 3u}}) {
        d.bookmarkNextButton()->click();
        ASSERT_EQ(d.selectedSession(), session);
        const GraphSample& bookmark = d.samples()[d.selectedSample()];
        EXPECT_EQ(bookmark.kind, graphs::kSampleUserEvent);
        EXPECT_EQ(bookmark.value0, data);
    }
    for (const auto& [hex, id] : {std::pair{true, "0x3"}, std::pair{false, "3"}}) {
        if (d.hexCheck()->isChecked() != hex)
            d.hexCheck()->click();
        EXPECT_EQ(g.Cell(d.taskDetails(), 0), id);
        EXPECT_EQ(g.Cell(d.taskDetails(), 2), "DSP_Srv") << "parent task";
    }
}

TEST(CpuUsageGraphTest, ThePieFollowsTheSelectionAndClosesWithTheGraph) {
    GraphRig g;
    CCpuUsageGraphDlg& d = *g.dialog;
    d.pieButton()->click();
    QPointer<CPieChartDlg> first = d.pie();
    ASSERT_TRUE(first);
    first->move(40, 50);
    d.nextButton()->click();
    test::RunPostedEvents();
    EXPECT_FALSE(first);
    ASSERT_NE(d.pie(), nullptr);
    EXPECT_EQ(d.pie()->windowTitle(), QStringLiteral("Session Pos #1, CPU 57 %"));
    EXPECT_EQ(d.pie()->pos(), QPoint(40, 50));
    d.timeSequenceButton()->click();
    EXPECT_FALSE(d.timeSequenceButton()->isEnabled());
    QPointer<CPieChartDlg> second = d.pie();
    d.close();
    test::RunPostedEvents();
    EXPECT_FALSE(second);
    EXPECT_FALSE(g.dialog);
}

} // namespace
} // namespace zuta::performance
