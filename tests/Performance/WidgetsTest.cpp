// The widgets that stand on their own: the drawing primitives and the title tip painted into
// images and driven offscreen, and the live task list on the table logic.
#include "Performance/CpuChartPainter.h"
#include "Performance/GraphPainter.h"
#include "Performance/TaskTableWidget.h"
#include "Performance/TitleTip.h"
#include "QtTestApp.h"
#include "collection/TaskTable.h"
#include "engine/PerformanceData.h"

#include <QBrush>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace zuta::performance {
namespace {

using graphs::ColorRef;
using graphs::Rgb;

constexpr ColorRef kBlue = Rgb(0, 51, 255);
constexpr ColorRef kWhite = Rgb(255, 255, 255);

QImage Canvas(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

// A selected box has its frame and shadow where the two-pixel pens lie; the strips of a gradient
// land at the columns their plan gives.
TEST(GraphPaintingTest, GradientBarsLandWhereTheirPlansSay) {
    QImage image = Canvas(13, 12);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        DrawGradientBar(painter, {4, 3, 9, 8}, kBlue, kWhite, true, true, false);
    }
    // The frame from (3,2) to (8,7), the outer shadow on its right and bottom, the inner beyond.
    const std::pair<QPoint, ColorRef> cases[] = {
        {{3, 2}, kBlue},         {{2, 2}, Rgb(0, 0, 0)},          {{9, 2}, graphs::kShadowOuter},
        {{8, 7}, kBlue},         {{11, 3}, graphs::kShadowInner}, {{4, 10}, graphs::kShadowInner},
        {{12, 3}, Rgb(0, 0, 0)},
    };
    for (const auto& [at, colour] : cases)
        EXPECT_EQ(image.pixelColor(at), ToQColor(colour)) << at.x() << "," << at.y();

    QImage strips = Canvas(16, 6);
    {
        QPainter painter(&strips);
        DrawGradientBar(painter, {1, 1, 10, 5}, kBlue, kWhite, false, false, true);
        DrawGradientBar(painter, {13, 1, 13, 5}, kBlue, kWhite, false, false, true);
    }
    // The second bar is one pixel wide, painted two wide.
    EXPECT_EQ(strips.pixelColor(4, 4), ToQColor(Rgb(213, 221, 255)));
    EXPECT_EQ(strips.pixelColor(14, 4), ToQColor(kBlue));
}

TEST(GraphPaintingTest, ChartPointsStandOnSticksOrJoinAsALine) {
    test::TestApplication();
    graphs::CCpuChart chart;
    chart.Create(0, 0, 400, 110);
    chart.SetPointsPerPage(4);
    for (const double percent : {100.0, 0.0, 50.0, 20.0})
        chart.AddPoint(percent);
    // Value 100 lands 105 pixels above the bottom; a stick leaves out its top pixel, the line
    // starts on it.
    const std::vector<std::pair<QPoint, QColor>> modes[] = {
        {{{100, 5}, Qt::black}, {{100, 6}, Qt::red}, {{14, 10}, Qt::green}},
        {{{100, 5}, Qt::red}, {{100, 95}, Qt::black}},
    };
    for (const auto& pixels : modes) {
        QImage image(410, 115, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            PaintCpuChart(painter, chart);
        }
        for (const auto& [at, colour] : pixels)
            EXPECT_EQ(image.pixelColor(at), colour)
                << chart.lineMode() << " at " << at.x() << "," << at.y();
        chart.ToggleLineMode();
    }
}

// A graph window that records what reaches it.
class RecordingWidget : public QWidget {
public:
    std::vector<std::pair<QEvent::Type, QPoint>> mouse;
    std::vector<int> keys;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        mouse.emplace_back(event->type(), event->position().toPoint());
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        mouse.emplace_back(event->type(), event->position().toPoint());
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        mouse.emplace_back(event->type(), event->position().toPoint());
    }
    void keyPressEvent(QKeyEvent* event) override { keys.push_back(event->key()); }
};

class TitleTipTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner.setGeometry(100, 100, 300, 200);
        owner.setMouseTracking(true);
        owner.show();
        QApplication::setActiveWindow(&owner);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    }
    void TearDown() override { tip.Hide(); }

    void Move(const QPoint& global) {
        QMouseEvent move(QEvent::MouseMove, tip.mapFromGlobal(QPointF(global)), QPointF(global),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&tip, &move);
    }

    QApplication& application = test::TestApplication();
    RecordingWidget owner;
    ZTitleTip tip{&owner};
};

TEST_F(TitleTipTest, ShowsTheTextBetweenBlanksAtTheRectangleWithFrameAndBackground) {
    QApplication::setActiveWindow(nullptr);
    tip.Show(QRect(20, 30, 40, 15), "Idle");
    EXPECT_FALSE(tip.isVisible()) << "the application is inactive";
    QApplication::setActiveWindow(&owner);
    tip.Show(QRect(20, 30, 40, 15), "Idle");
    ASSERT_TRUE(tip.isVisible());
    EXPECT_EQ(tip.shownText(), " Idle ");
    const int textWidth = QFontMetrics(owner.font()).horizontalAdvance(" Idle ");
    EXPECT_EQ(tip.geometry(), QRect(owner.mapToGlobal(QPoint(20, 30)), QSize(textWidth, 15)));

    const QImage image = tip.grab().toImage();
    EXPECT_EQ(image.pixelColor(image.width() - 1, 7), QColor(0, 0, 0));
    EXPECT_EQ(image.pixelColor(image.width() - 2, 7), QColor(255, 255, 212));

    // Showing again only moves the stay rectangle.
    const QRect stay(0, 0, 100, 100);
    tip.Show(QRect(200, 150, 40, 15), "Other", 0, &stay);
    EXPECT_EQ(tip.shownText(), " Idle ");
    EXPECT_EQ(tip.pos(), owner.mapToGlobal(QPoint(20, 30)));
    Move(owner.mapToGlobal(QPoint(90, 90)));
    EXPECT_TRUE(tip.isVisible());
}

// The tip hides when the pointer leaves its rectangle, on a click or on a key, and what hid it
// reaches the graph beneath once, at the same place.
TEST_F(TitleTipTest, WhatHidesTheTipReachesTheGraphBeneath) {
    tip.Show(QRect(20, 30, 40, 15), "Idle");
    Move(owner.mapToGlobal(QPoint(59, 44)));
    EXPECT_TRUE(tip.isVisible());
    Move(owner.mapToGlobal(QPoint(60, 44)));
    EXPECT_FALSE(tip.isVisible());
    test::RunPostedEvents();

    tip.Show(QRect(20, 30, 40, 15), "Idle");
    QTest::mousePress(&tip, Qt::LeftButton, Qt::NoModifier, QPoint(5, 4));
    EXPECT_FALSE(tip.isVisible());
    QTest::mouseRelease(&tip, Qt::LeftButton, Qt::NoModifier, QPoint(5, 4));
    test::RunPostedEvents();
    const std::vector<std::pair<QEvent::Type, QPoint>> expected = {
        {QEvent::MouseMove, QPoint(60, 44)},
        {QEvent::MouseButtonPress, QPoint(25, 34)},
        {QEvent::MouseButtonRelease, QPoint(25, 34)}};
    EXPECT_EQ(owner.mouse, expected);

    tip.Show(QRect(20, 30, 40, 15), "Idle");
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(&owner, &key);
    EXPECT_FALSE(tip.isVisible());
    test::RunPostedEvents();
    EXPECT_EQ(owner.keys, std::vector<int>{Qt::Key_Right});
}

class TaskTableWidgetTest : public ::testing::Test {
protected:
    TaskTableWidgetTest() {
        data.Write([](StoreState& s) {
            s.switchCount = 10;
            s.sumTicks = 20000;
            s.sumValue0 = 800;
            s.sumValue1 = 70;
            s.sumValue2 = 30;
            Set(s.AddOrUpdateTask("beta", 1002, 0), 3, 5000, 40);
            Set(s.AddOrUpdateTask("Alpha", 1001, 0), 1, 0, 0);
            Set(s.AddOrUpdateTask("Timer_HISR", 1003, 1), 6, 9000, 500);
            Set(s.AddOrUpdateTask("IRQ7", 7, 2), 2, 1000, 10);
            Set(s.AddOrUpdateTask("CommPM_L", 1004, 0), 9, 4000, 0);
            s.AddOrUpdateTask("Fn1", 5001, 3);
        });
        table.BuildColumns(1, false);
        table.RebuildRows(data);
        widget.SetTable(&table);
        widget.SetColourSource(&data, "CommPM_L");
        widget.RebuildFromModel();
        widget.resize(800, 400);
        widget.show();
    }

    static void Set(TaskRecord& t, std::uint32_t runs, std::uint64_t ticks, std::uint64_t s0) {
        t.runs = runs;
        t.ticks = ticks;
        t.sumValue0 = s0;
    }

    QAbstractItemModel& model() const { return *widget.model(); }
    QString Text(int row, int column) const {
        return model().index(row, column).data(Qt::DisplayRole).toString();
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (int r = 0; r < model().rowCount(); ++r)
            names.push_back(Text(r, 0).toStdString());
        return names;
    }
    QColor TextColour(int row) const {
        return model().index(row, 0).data(Qt::ForegroundRole).value<QBrush>().color();
    }
    // A real mouse click on the header of a column.
    void ClickHeader(int column) {
        QHeaderView* header = widget.horizontalHeader();
        const QPoint centre(header->sectionViewportPosition(column) +
                                header->sectionSize(column) / 2,
                            header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centre);
    }
    void Refresh() {
        table.RefreshStatistics(data, options);
        widget.RefreshFromModel();
    }

    // First, so the application exists before the widget.
    QApplication& application = test::TestApplication();
    CPerformanceData data;
    TaskTable table;
    StatisticsOptions options{false, false, 208.0f};
    CTaskTableWidget widget;
};

TEST_F(TaskTableWidgetTest, ShowsTheTableAndRefreshSignalsOnlyTheChangedCells) {
    ASSERT_EQ(model().columnCount(), static_cast<int>(table.columns().size()));
    QHeaderView* header = widget.horizontalHeader();
    for (int c = 0; c < model().columnCount(); ++c) {
        const TaskTableColumn& column = table.columns()[static_cast<std::size_t>(c)];
        EXPECT_EQ(model().headerData(c, Qt::Horizontal).toString().toStdString(), column.title);
        // At least the table's width, and never narrower than the title.
        EXPECT_GE(header->sectionSize(c), column.width) << column.title;
        EXPECT_GE(header->sectionSize(c), header->sectionSizeHint(c)) << column.title;
    }
    ASSERT_EQ(model().rowCount(), 5);
    // Odd rows are shaded; rows in store order: IRQ7, Alpha, beta, Timer_HISR, CommPM_L.
    EXPECT_FALSE(model().index(0, 3).data(Qt::BackgroundRole).isValid());
    EXPECT_EQ(model().index(1, 3).data(Qt::BackgroundRole).value<QBrush>().color(),
              QColor(220, 220, 254));
    EXPECT_FALSE(model().index(1, 0).data(Qt::ForegroundRole).isValid());
    EXPECT_EQ(TextColour(3), QColor(0x00, 0x5A, 0xB4));

    QSignalSpy resets(&model(), &QAbstractItemModel::modelReset);
    QSignalSpy changes(&model(), &QAbstractItemModel::dataChanged);
    Refresh();
    ASSERT_GT(changes.count(), 0);
    // Nothing changed: nothing is signalled.
    changes.clear();
    Refresh();
    EXPECT_EQ(changes.count(), 0);

    // One task ran again: only its row is signalled.
    data.Write([](StoreState& s) { s.tasks.at(1002).runs = 4; });
    Refresh();
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes[0][0].value<QModelIndex>().row(), 2);
    EXPECT_EQ(changes[0][1].value<QModelIndex>().row(), 2);
    EXPECT_EQ(Text(2, 2), "4");
    EXPECT_EQ(resets.count(), 0);

    data.Write([](StoreState& s) { s.AddOrUpdateTask("IRQ9", 9, 2); });
    table.RebuildRows(data);
    Refresh();
    EXPECT_EQ(model().rowCount(), 6);
    EXPECT_EQ(Text(1, 0), "IRQ9");
}

// A header click sorts only when sorting is enabled. Rows reordered in the table, by the list's
// sorting or behind its back, take their ids, clicks and colours to their new places.
TEST_F(TaskTableWidgetTest, HeaderClickSortsOnlyWhenEnabledAndRowsKeepTheirIdsAndColours) {
    Refresh();
    QSignalSpy sorted(&widget, &CTaskTableWidget::sorted);
    ClickHeader(2);
    EXPECT_EQ(Names().front(), "IRQ7");
    EXPECT_EQ(sorted.count(), 0);

    table.Sort(0);
    Refresh();
    EXPECT_EQ(Names(),
              (std::vector<std::string>{"Alpha", "beta", "CommPM_L", "IRQ7", "Timer_HISR"}));
    EXPECT_EQ(TextColour(2), QColor(0xFF, 0x00, 0x00));
    // Clicks give the task at the row's new place; below the last row nothing is clicked.
    QSignalSpy clicked(&widget, &CTaskTableWidget::rowClicked);
    QSignalSpy doubleClicked(&widget, &CTaskTableWidget::rowDoubleClicked);
    const QPoint cell = widget.visualRect(model().index(3, 1)).center();
    QTest::mouseClick(widget.viewport(), Qt::LeftButton, {},
                      QPoint(cell.x(), widget.viewport()->height() - 2));
    QTest::mouseClick(widget.viewport(), Qt::LeftButton, {}, cell);
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked[0][0].value<std::uint32_t>(), 7u);
    QTest::mouseDClick(widget.viewport(), Qt::LeftButton, {}, cell);
    ASSERT_EQ(doubleClicked.count(), 1);
    EXPECT_EQ(doubleClicked[0][0].value<std::uint32_t>(), 7u);

    widget.SetSortingEnabled(true);
    ClickHeader(2); // "Scheduled": highest run count first
    EXPECT_EQ(Names().front(), "CommPM_L");
    ASSERT_EQ(sorted.count(), 1);
    EXPECT_EQ(sorted[0][0].toInt(), 2);
    EXPECT_EQ(TextColour(0), QColor(0xFF, 0x00, 0x00));
}

} // namespace
} // namespace zuta::performance
