#include "graphs/CpuChart.h"

#include <gtest/gtest.h>

namespace zuta::graphs {
namespace {

CCpuChart PageOfFour() {
    CCpuChart chart;
    chart.Create(0, 0, 400, 110);
    chart.SetPointsPerPage(4);
    return chart;
}

TEST(CpuChartTest, PointsSpreadOverThePageAndRiseByTheElevenBands) {
    CCpuChart chart = PageOfFour();
    struct Case {
        double percent;
        bool accepted;
    };
    // 100 % lies half a pixel per 10 % above the top band line: 105 above the bottom.
    for (const Case c :
         {Case{100, true}, Case{0, true}, Case{101, false}, Case{50, true}, Case{10, true}}) {
        EXPECT_EQ(chart.AddPoint(c.percent), c.accepted) << c.percent;
    }
    EXPECT_EQ(chart.points(), (std::vector<Point>{{100, 5}, {200, 110}, {300, 58}, {400, 100}}));

    chart.Clear();
    EXPECT_TRUE(chart.AddPoint(100));
    EXPECT_EQ(chart.points().front(), (Point{100, 5}));

    CCpuChart unsized;
    EXPECT_FALSE(unsized.AddPoint(10));
}

TEST(CpuChartTest, HitTestFindsTheGapRightOfAPoint) {
    CCpuChart chart = PageOfFour();
    for (const double percent : {10.0, 20.0, 30.0, 40.0}) {
        chart.AddPoint(percent);
    }
    const std::pair<int, int> cases[] = {{99, 0},  {100, 1}, {150, 1}, {200, 1},
                                         {201, 2}, {400, 3}, {401, 0}};
    for (const auto& [x, hit] : cases) {
        EXPECT_EQ(chart.HitTest(x), hit) << x;
    }
}

TEST(CpuChartTest, VerticalGridFollowsThePageSize) {
    struct Case {
        int pointsPerPage;
        std::vector<std::string> labels; // the second and the last
        int secondColumn;
    };
    const Case cases[] = {{150, {"15", "135"}, 40}, {50, {"20", "80"}, 80}, {5, {"10", "90"}, 40}};
    for (const Case& c : cases) {
        CCpuChart chart = PageOfFour();
        chart.SetPointsPerPage(c.pointsPerPage);
        std::vector<std::string> labels;
        std::vector<int> columns;
        for (const ChartItem& item : chart.Plan()) {
            const auto* text = std::get_if<ChartText>(&item);
            if (text != nullptr && text->fontHeight == CCpuChart::kLabelFontHeight) {
                labels.push_back(text->text);
                columns.push_back(text->box.left);
            }
        }
        ASSERT_GE(labels.size(), 2u);
        EXPECT_EQ((std::vector<std::string>{labels[1], labels.back()}), c.labels)
            << c.pointsPerPage;
        EXPECT_EQ(columns.at(1), c.secondColumn) << c.pointsPerPage;
    }
}

TEST(CpuChartTest, ThinLinesLeaveOutTheirEndPointAndMeetInTheMiddle) {
    struct Case {
        Point from;
        Point to;
        std::vector<Rect> pixels;
    };
    const Case cases[] = {
        {{0, 0}, {3, 0}, {{0, 0, 3, 1}}},
        {{5, 10}, {5, 7}, {{5, 8, 6, 11}}},
        {{0, 0}, {4, 2}, {{0, 0, 2, 1}, {2, 1, 4, 2}}},
        {{4, 2}, {0, 0}, {{4, 2, 5, 3}, {2, 1, 4, 2}, {1, 0, 2, 1}}},
        {{2, 2}, {2, 2}, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ThinLinePixels(c.from, c.to), c.pixels) << c.to.x << "," << c.to.y;
    }
}

} // namespace
} // namespace zuta::graphs
