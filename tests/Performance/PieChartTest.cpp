// The pie chart window painted offscreen, and the distribution charts a double click on the task
// table opens.
#include "Performance/GraphPainter.h"
#include "Performance/PerformanceControlBar.h"
#include "Performance/PieChartDlg.h"
#include "Performance/TaskTableWidget.h"
#include "ViewHost.h"

#include <QPointer>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <numbers>

namespace zuta::performance {
namespace {

using graphs::Rgb;

constexpr graphs::ColorRef kFirst = Rgb(200, 0, 0);
constexpr graphs::ColorRef kSecond = Rgb(0, 200, 0);

TEST(PieChartDlgTest, WedgesGoClockwiseFromTwelveAndLeaveTheBackgroundInTheGap) {
    test::TestApplication();
    CPieChartDlg chart;
    chart.AddSlice(kFirst, 0, 40.9f, "first");   // 0 to 147 degrees
    chart.AddSlice(kSecond, 0, 40.9f, "second"); // 147 to 294
    chart.resize(300, 330);                      // the pie fills (0, 0) to (300, 300)
    ASSERT_EQ(chart.Plan().pie, (graphs::Rect{0, 0, 300, 300}));
    const QImage image = chart.Render();

    struct Case {
        int angle;
        graphs::ColorRef colour;
    };
    const Case cases[] = {{140, kFirst}, {155, kSecond}, {300, graphs::kPieCircleColour}};
    for (const Case& c : cases) {
        // Between the percentages' ring and the outline.
        const double radians = c.angle * std::numbers::pi / 180.0;
        const int x = static_cast<int>(150 + std::sin(radians) * 125);
        const int y = static_cast<int>(150 - std::cos(radians) * 125);
        EXPECT_EQ(image.pixelColor(x, y), ToQColor(c.colour)) << "angle " << c.angle;
    }
    EXPECT_EQ(image.pixelColor(2, 2), ToQColor(graphs::kPieClientColour));
    // The legend squares, inside their sunken edges.
    const int h = chart.textHeight();
    EXPECT_EQ(image.pixelColor(h / 2, 300 + h + h / 2), ToQColor(kSecond));
    EXPECT_EQ(image.pixelColor(0, 300), ToQColor(graphs::kEdgeShadow));
}

TEST(PieChartDlgTest, DoubleClickOnAStatisticOpensItsDistribution) {
    test::ViewInHost rig;
    CPerformanceView& view = *rig.view;
    ASSERT_TRUE(view.OpenDataFile(std::string(ZUTA_TEST_DATA_DIR) + "/files/session_v2.zuta"));
    rig.frame->show();
    test::RunPostedEvents();
    CTaskTableWidget& list = *view.taskList();
    ASSERT_GT(list.model()->rowCount(), 0);
    const auto doubleClick = [&list](int column) {
        const QRect cell = list.visualRect(list.model()->index(0, column));
        // As the user's second press arrives: after the first press and release.
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, cell.center());
        test::RunPostedEvents();
    };

    doubleClick(0); // "Task Name"
    doubleClick(1); // "Task ID"
    EXPECT_EQ(view.findChild<CPieChartDlg*>(), nullptr);
    EXPECT_EQ(rig.host.output.CountStatus("Processing Data"), 0u);

    doubleClick(3); // "Active Time"
    QPointer<CPieChartDlg> chart = view.findChild<CPieChartDlg*>();
    ASSERT_NE(chart, nullptr);
    EXPECT_EQ(chart->windowTitle(), "Mhz Distribution");
    EXPECT_TRUE(chart->isVisible());
    EXPECT_TRUE(chart->isModal());
    const std::size_t processing = rig.host.output.IndexOf("Processing Data");
    EXPECT_NE(rig.host.output.IndexOf("Loading ...", processing), std::string::npos);
    ASSERT_FALSE(chart->slices().empty());
    EXPECT_EQ(chart->slices()[0].label, "5.70%   IRQ7   4.00 uSec"); // 800 of 14020 ticks
    chart->reject();
    test::RunPostedEvents();
    EXPECT_TRUE(chart.isNull());
}

} // namespace
} // namespace zuta::performance
