// The CPU usage graph on the example capture, driven offscreen as the user drives it.
#include "Performance/CpuUsageGraphDlg.h"
#include "Performance/GraphPainter.h"
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
        const ViewWindow* window = FindViewWindow("cpu-graph");
        EXPECT_NE(window, nullptr);
        dialog = static_cast<CCpuUsageGraphDlg*>(window->open(*rig.view));
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

TEST(CpuUsageGraphTest, SessionDetailsFollowGoAndTheStepButtons) {
    GraphRig g;
    ASSERT_TRUE(g.dialog && g.dialog->built());
    EXPECT_EQ(g.dialog->windowTitle(), QStringLiteral("CPU Usage Graph"));
    EXPECT_EQ(g.dialog->maskId(), g.IdOf("FrameInt"));
    EXPECT_FALSE(g.dialog->previousButton()->isEnabled());
    struct Step {
        const char* what;
        QPushButton* button;
        const char* goTo;
        std::uint32_t session;
    };
    CCpuUsageGraphDlg& d = *g.dialog;
    const Step steps[] = {
        {"go", d.goButton(), "5", 5},
        {"next", d.nextButton(), nullptr, 6},
        {"previous", d.previousButton(), nullptr, 5},
        {"go to the session count", d.goButton(), "217", 5},
        {"go to the last", d.goButton(), "216", 216},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.goTo != nullptr)
            d.goToEdit()->setText(QString::fromLatin1(step.goTo));
        step.button->click();
        ASSERT_EQ(d.selectedSession(), step.session);
        EXPECT_EQ(g.Cell(d.sessionDetails(), 0), "217");
        EXPECT_EQ(g.Cell(d.sessionDetails(), 1), std::to_string(step.session));
        EXPECT_EQ(g.Cell(d.sessionDetails(), 2),
                  std::to_string(d.sessions().sessions[step.session].cpuPercent) + " %");
        EXPECT_EQ(g.Cell(d.sessionDetails(), 5), "76% / 78");
        EXPECT_EQ(d.paging().page(), step.session / 150);
        EXPECT_EQ(d.previousButton()->isEnabled(), step.session > 0);
        EXPECT_EQ(d.nextButton()->isEnabled(), step.session < 216);
    }
}

TEST(CpuUsageGraphTest, FindTaskMovesToTheNextRunAndThePaintedBoxShowsIt) {
    GraphRig g;
    CCpuUsageGraphDlg& d = *g.dialog;
    d.findList()->setCurrentText(QStringLiteral("L1_Task"));
    std::uint32_t previous = 0;
    for (int press = 0; press < 2; ++press) {
        d.findButton()->click();
        const std::uint32_t sample = d.selectedSample();
        ASSERT_GT(sample, previous);
        previous = sample;
        EXPECT_EQ(d.samples()[sample].id, g.IdOf("L1_Task"));
        const graphs::CpuSession& session = d.sessions().sessions[d.selectedSession()];
        EXPECT_TRUE(sample >= session.firstSample && sample < session.endSample);
        EXPECT_EQ(g.Cell(d.taskDetails(), 0, 0), "Task Name");
        EXPECT_EQ(g.Cell(d.taskDetails(), 0), "L1_Task");
    }
    EXPECT_TRUE(g.rig.host.messageBox.shown.empty());

    const QImage image = d.grab().toImage();
    int selectedBoxes = 0;
    for (const graphs::TimelineBox& box : d.TimelineBoxes()) {
        if (box.sample != d.selectedSample())
            continue;
        ++selectedBoxes;
        const QPoint centre((box.rect.left + box.rect.right) / 2,
                            (box.rect.top + box.rect.bottom) / 2);
        EXPECT_EQ(image.pixelColor(centre), ToQColor(d.ColourOf(d.samples()[box.sample].id)));
        // The selection shadow under the box.
        const QColor shadow = image.pixelColor(box.rect.left + 2, box.rect.bottom + 1);
        EXPECT_TRUE(shadow == QColor(250, 70, 70) || shadow == QColor(254, 0, 90))
            << shadow.name().toStdString();
    }
    EXPECT_EQ(selectedBoxes, 1);
    EXPECT_EQ(image.pixelColor(d.TimelineRect().right - 3, d.TimelineRect().bottom - 3),
              QColor(200, 200, 200));
}

TEST(CpuUsageGraphTest, MessagesForMissingIdleTaskTasksAndMarkers) {
    {
        GraphRig g("NoSuchTask");
        EXPECT_FALSE(g.dialog->built());
        ASSERT_EQ(g.rig.host.messageBox.shown.size(), 1u);
        EXPECT_EQ(g.rig.host.messageBox.shown[0].text, "No Idle Task found");
        EXPECT_EQ(g.rig.host.messageBox.shown[0].caption, "Error");
        g.dialog->findButton()->click();
        ASSERT_EQ(g.rig.host.messageBox.shown.size(), 2u);
        EXPECT_EQ(g.rig.host.messageBox.shown[1].text, "No Tasks");
    }
    GraphRig g;
    CCpuUsageGraphDlg& d = *g.dialog;
    const auto& shown = g.rig.host.messageBox.shown;
    // CC_Task ran six times: Find visits each run inside a session, then has no more.
    d.findList()->setCurrentText(QStringLiteral("CC_Task"));
    int found = 0;
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

TEST(CpuUsageGraphTest, RefreshAndClosingSaveTheMaskEventAndTheThreshold) {
    GraphRig g;
    CCpuUsageGraphDlg& d = *g.dialog;
    d.maskList()->setCurrentText(QStringLiteral("Tmr1"));
    d.refreshButton()->click();
    EXPECT_EQ(d.maskId(), g.IdOf("Tmr1"));
    EXPECT_EQ(d.sessions().sessions.size(), 100u);
    EXPECT_EQ(g.Cell(d.sessionDetails(), 0), "100");
    EXPECT_EQ(g.StoredSettings().maskEvent, "Tmr1");

    d.thresholdEdit()->setText(QStringLiteral("1500"));
    d.close();
    EXPECT_EQ(g.StoredSettings().threshold, 1500u);
    // The next graph starts from the chosen mask event.
    CCpuUsageGraphDlg* again = OpenCpuUsageGraph(*g.rig.view, false);
    EXPECT_EQ(again->maskId(), g.IdOf("Tmr1"));
}

TEST(CpuUsageGraphTest, ClicksSelectAndToggleModesAndTheZoomShowsAllSessions) {
    GraphRig g;
    CCpuUsageGraphDlg& d = *g.dialog;
    // A left click selects the session right of the point at or left of it, and a box.
    const std::vector<graphs::Point>& points = d.chart().points();
    ASSERT_EQ(points.size(), 150u);
    QTest::mouseClick(&d, Qt::LeftButton, {}, QPoint(points[4].x + 1, points[4].y));
    EXPECT_EQ(d.selectedSession(), 5u);
    EXPECT_EQ(d.goToEdit()->text(), QStringLiteral("5"));
    const graphs::TimelineBox box = d.TimelineBoxes().at(2);
    QTest::mouseClick(&d, Qt::LeftButton, {}, QPoint(box.rect.left, box.rect.top));
    EXPECT_EQ(d.selectedSample(), box.sample);
    d.allButton()->click();
    EXPECT_EQ(d.chart().points().size(), 217u);
    EXPECT_EQ(d.scrollBar()->maximum(), 1);

    const auto inside = [](const graphs::Rect& r) {
        return QPoint(r.left + r.width() / 2, r.top + 2);
    };
    const bool lineBefore = d.chart().lineMode();
    QTest::mouseClick(&d, Qt::RightButton, {}, inside(d.ChartRect()));
    EXPECT_NE(d.chart().lineMode(), lineBefore);
    EXPECT_EQ(d.timelineMode(), graphs::TimelineMode::TimeProportional);
    QTest::mouseClick(&d, Qt::RightButton, {}, inside(d.TimelineRect()));
    EXPECT_EQ(d.timelineMode(), graphs::TimelineMode::EqualWidth);
    EXPECT_NE(d.chart().lineMode(), lineBefore);
    QTest::mouseClick(&d, Qt::RightButton, {}, inside(d.TimelineRect()));
    EXPECT_EQ(d.timelineMode(), graphs::TimelineMode::TimeProportional);

    // A wider dialog widens the timeline; the height stays.
    const QSize before = d.size();
    const graphs::Rect timeline = d.TimelineRect();
    d.resize(before.width() + 100, before.height() + 50);
    EXPECT_EQ(d.TimelineRect().right, timeline.right + 100);
    EXPECT_EQ(d.height(), before.height());
}

TEST(CpuUsageGraphTest, BookmarkSearchSelectsTheBookmarkAndHexChangesItsTexts) {
    GraphRig g;
    CCpuUsageGraphDlg& d = *g.dialog;
    ASSERT_TRUE(d.bookmarkList()->isEnabled());
    d.bookmarkList()->setCurrentText(QStringLiteral("0x3"));
    // The occurrences of bookmark 3 (session, data word); user events before them move each one
    // further away from its count of switch samples.
    const std::pair<std::uint32_t, std::uint32_t> hits[] = {{3, 1}, {5, 3}, {8, 4}, {9, 5}};
    for (const auto& [session, data] : hits) {
        d.bookmarkNextButton()->click();
        ASSERT_EQ(d.selectedSession(), session);
        const GraphSample& bookmark = d.samples()[d.selectedSample()];
        EXPECT_EQ(bookmark.kind, graphs::kSampleUserEvent);
        EXPECT_EQ(bookmark.id, 3u);
        EXPECT_EQ(bookmark.value0, data);
    }
    struct Case {
        bool hex;
        const char* id;
        const char* data;
    };
    for (const Case c : {Case{true, "0x3", "0x5"}, Case{false, "3", "5"}}) {
        if (d.hexCheck()->isChecked() != c.hex)
            d.hexCheck()->click();
        EXPECT_EQ(g.Cell(d.taskDetails(), 0, 0), "Book Mark ID");
        EXPECT_EQ(g.Cell(d.taskDetails(), 0), c.id);
        EXPECT_EQ(g.Cell(d.taskDetails(), 1), c.data);
        EXPECT_EQ(g.Cell(d.taskDetails(), 2), "DSP_Srv") << "parent task";
    }
}

TEST(CpuUsageGraphTest, ThePieFollowsTheSelectionAndClosesWithTheGraph) {
    GraphRig g;
    CCpuUsageGraphDlg& d = *g.dialog;
    d.pieButton()->click();
    QPointer<CPieChartDlg> first = d.pie();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->windowTitle(), QStringLiteral("Session Pos #0, CPU 0 %"));
    first->move(40, 50);
    d.goToEdit()->setText(QStringLiteral("1"));
    d.goButton()->click();
    test::RunPostedEvents();
    EXPECT_FALSE(first);
    ASSERT_NE(d.pie(), nullptr);
    EXPECT_EQ(d.pie()->windowTitle(), QStringLiteral("Session Pos #1, CPU 57 %"));
    EXPECT_EQ(d.pie()->pos(), QPoint(40, 50));

    d.timeSequenceButton()->click();
    ASSERT_NE(d.timeSequence(), nullptr);
    EXPECT_FALSE(d.timeSequenceButton()->isEnabled());

    QPointer<CPieChartDlg> second = d.pie();
    d.close();
    test::RunPostedEvents();
    EXPECT_FALSE(second);
    EXPECT_FALSE(g.dialog);
}

} // namespace
} // namespace zuta::performance
