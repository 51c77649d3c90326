#include "Performance/CpuChartPainter.h"
#include "Performance/GraphPainter.h"
#include "Performance/TimeSequenceDlg.h"
#include "Performance/TitleTip.h"
#include "QtTestApp.h"

#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTableView>
#include <QtTest/QTest>
#include <gtest/gtest.h>
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

TEST(GraphPaintingTest, SelectedBoxHasItsFrameAndShadowWhereTheTwoPixelPensLie) {
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
}

TEST(GraphPaintingTest, GradientStripsLandAtTheirColumns) {
    QImage image = Canvas(16, 6);
    {
        QPainter painter(&image);
        DrawGradientBar(painter, {1, 1, 10, 5}, kBlue, kWhite, false, false, true);
        DrawGradientBar(painter, {13, 1, 13, 5}, kBlue, kWhite, false, false, true);
    }
    // The strips the plan gives; the second bar is one pixel wide, painted two wide.
    EXPECT_EQ(image.pixelColor(4, 4), ToQColor(Rgb(213, 221, 255)));
    EXPECT_EQ(image.pixelColor(14, 4), ToQColor(kBlue));
}

TEST(GraphPaintingTest, ChartPointsStandOnSticksOrJoinAsALine) {
    test::TestApplication();
    graphs::CCpuChart chart;
    chart.Create(0, 0, 400, 110);
    chart.SetPointsPerPage(4);
    for (const double percent : {100.0, 0.0, 50.0, 20.0}) {
        chart.AddPoint(percent);
    }
    const QColor red(255, 0, 0);
    const QColor green(0, 255, 0);
    const QColor black(0, 0, 0);
    struct Case {
        bool lineMode;
        int x;
        int y;
        QColor colour;
    };
    // Value 100 lands 105 pixels above the bottom; a stick leaves out its top pixel, the line
    // starts on it.
    const Case cases[] = {
        {false, 100, 5, black}, {false, 100, 6, red},   {false, 14, 10, green},
        {true, 100, 5, red},    {true, 100, 95, black},
    };
    for (const bool lineMode : {false, true}) {
        if (chart.lineMode() != lineMode) {
            chart.ToggleLineMode();
        }
        QImage image(410, 115, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            PaintCpuChart(painter, chart);
        }
        for (const Case& c : cases) {
            if (c.lineMode == lineMode) {
                EXPECT_EQ(image.pixelColor(c.x, c.y).name().toStdString(),
                          c.colour.name().toStdString())
                    << lineMode << " at " << c.x << "," << c.y;
            }
        }
    }
}

TEST(GraphPaintingTest, TimeSequenceListShadesOddRowsAndPaintsOffPeriodRowsRed) {
    test::TestApplication();
    CTimeSequenceDlg dialog;
    for (const float microseconds : {4600.0f, 4701.0f, 4690.0f, 4650.0f}) {
        dialog.Append(dialog.sequence().entries().size(), microseconds);
    }
    dialog.show();
    const QAbstractItemModel* model = dialog.list()->model();
    ASSERT_EQ(model->rowCount(), 4);
    EXPECT_EQ(model->index(1, 1).data().toString(), "4701.00");
    EXPECT_EQ(model->index(1, 0).data(Qt::BackgroundRole), QVariant(QColor(240, 10, 0)));
    EXPECT_EQ(model->index(3, 0).data(Qt::BackgroundRole), QVariant(QColor(220, 220, 254)));
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

TEST_F(TitleTipTest, StaysWithinItsRectangleAndPassesTheLeavingMoveOn) {
    tip.Show(QRect(20, 30, 40, 15), "Idle");
    Move(owner.mapToGlobal(QPoint(59, 44)));
    EXPECT_TRUE(tip.isVisible());
    Move(owner.mapToGlobal(QPoint(60, 44)));
    EXPECT_FALSE(tip.isVisible());
    test::RunPostedEvents();
    ASSERT_EQ(owner.mouse.size(), 1u);
    EXPECT_EQ(owner.mouse[0], std::make_pair(QEvent::MouseMove, QPoint(60, 44)));
}

TEST_F(TitleTipTest, AClickReachesTheGraphBeneathAtTheSamePlace) {
    tip.Show(QRect(20, 30, 40, 15), "Idle");
    QTest::mousePress(&tip, Qt::LeftButton, Qt::NoModifier, QPoint(5, 4));
    EXPECT_FALSE(tip.isVisible());
    QTest::mouseRelease(&tip, Qt::LeftButton, Qt::NoModifier, QPoint(5, 4));
    test::RunPostedEvents();
    const std::vector<std::pair<QEvent::Type, QPoint>> expected = {
        {QEvent::MouseButtonPress, QPoint(25, 34)}, {QEvent::MouseButtonRelease, QPoint(25, 34)}};
    EXPECT_EQ(owner.mouse, expected);
}

TEST_F(TitleTipTest, AKeyHidesTheTipAndGoesToTheOwnerOnce) {
    tip.Show(QRect(20, 30, 40, 15), "Idle");
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(&owner, &key);
    EXPECT_FALSE(tip.isVisible());
    test::RunPostedEvents();
    EXPECT_EQ(owner.keys, std::vector<int>{Qt::Key_Right});
}

} // namespace
} // namespace zuta::performance
