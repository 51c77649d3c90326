#include "graphs/PieChart.h"

#include <gtest/gtest.h>

namespace zuta::graphs {
namespace {

constexpr int kText = 14;

std::vector<PieSlice> Slices(const std::vector<std::pair<float, std::string>>& shares) {
    std::vector<PieSlice> slices;
    for (const auto& [percent, label] : shares)
        slices.push_back(MakePieSlice(Rgb(1, 2, 3), 0, percent, label));
    return slices;
}

TEST(PieChartTest, PieSquareStandsOnTheLegendCentredAcross) {
    EXPECT_EQ(PieRect({10, 20, 410, 300}, 2, kText), (Rect{85, 20, 335, 270}));
    EXPECT_EQ(PieRect({0, 0, 300, 460}, 4, kText), (Rect{0, 100, 300, 400}));
    // A taller font keeps taller legend rows; too many slices leave no pie at all.
    EXPECT_EQ(PieRect({0, 0, 300, 460}, 4, 20), (Rect{0, 80, 300, 380}));
    EXPECT_TRUE(PieRect({0, 0, 300, 100}, 10, kText).empty());
}

TEST(PieChartTest, WedgesTakeWholeDegreesAndSmallOnesNoPercentage) {
    const PiePlan plan = PlanPie(Slices({{40.9f, "a"}, {40.9f, ""}, {0.5f, "c"}, {10.0f, "d"}}),
                                 {0, 0, 300, 460}, kText);
    struct Wedge {
        int start;
        int end;
    };
    // 147.24 degrees each: the truncation leaves 29 degrees of background before twelve.
    const Wedge wedges[] = {{0, 147}, {147, 294}, {294, 295}, {295, 331}};
    ASSERT_EQ(plan.wedges.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(plan.wedges[i].startAngle, wedges[i].start) << i;
        EXPECT_EQ(plan.wedges[i].endAngle, wedges[i].end) << i;
        EXPECT_TRUE(plan.wedges[i].drawn) << i;
    }
    // Slice 2 (1.8 degrees) has a wedge and a legend row but no percentage.
    ASSERT_EQ(plan.labels.size(), 3u);
    EXPECT_EQ(plan.labels[0].slice, 0u);
    EXPECT_EQ(plan.labels[0].text, "41%");
    EXPECT_EQ(plan.labels[0].centre, (Point{236, 225})); // 147 - 73 degrees on the ring
    EXPECT_EQ(plan.labels[2].slice, 3u);
    EXPECT_EQ(plan.labels[2].text, "10%");

    // Rows count labelled slices only, one text height apart below the pie.
    ASSERT_EQ(plan.legend.size(), 3u);
    EXPECT_EQ(plan.legend[1].slice, 2u);
    EXPECT_EQ(plan.legend[1].square, (Rect{0, 414, 14, 428}));
    EXPECT_EQ(plan.legend[1].text, (Rect{17, 414, 300, 428}));

    // A slice of the whole circle starts and ends at one point, and is drawn all round.
    const PiePlan whole = PlanPie(Slices({{100.0f, "all"}}), {0, 0, 200, 215}, kText);
    EXPECT_EQ(whole.wedges[0].endAngle, 360);
    EXPECT_TRUE(whole.wedges[0].drawn);
}

std::pair<std::string, TaskRecord> Task(std::string name, std::uint64_t runs,
                                        std::uint64_t ticks = 0) {
    TaskRecord task;
    task.name = name;
    task.runs = runs;
    task.ticks = ticks;
    return {std::move(name), task};
}

std::vector<std::string> Labels(const DistributionChart& chart) {
    std::vector<std::string> labels;
    for (const PieSlice& slice : chart.slices)
        labels.push_back(slice.label);
    return labels;
}

TEST(PieChartTest, DistributionShares) {
    struct Case {
        const char* what;
        std::uint64_t total;
        std::vector<std::pair<std::string, TaskRecord>> rows;
        std::vector<std::string> labels;
    };
    const Case cases[] = {
        {"below 10000 the hundredths are dropped",
         9999,
         {Task("a", 507), Task("b", 9492)},
         {"5.00%   a", "94.00% b", "1.00% Others: "}},
        {"from 10000 on they count",
         10000,
         {Task("a", 507), Task("b", 9493)},
         {"5.07%   a", "94.93% b"}},
        {"shares adding up to 100 leave no rest",
         10000,
         {Task("a", 1034), Task("b", 8292), Task("c", 674)},
         {"10.34% a", "82.92% b", "6.74%   c"}},
        {"tasks too small for a share are named in the rest, idle ones skipped",
         1000000,
         {Task("a", 999000), Task("idle", 0), Task("x", 10), Task("y", 99)},
         {"99.90% a", "0.10% Others: x,y"}},
        {"no total", 0, {Task("a", 5)}, {"100.00% Others: a"}},
    };
    for (const Case& c : cases) {
        DistributionTotals totals;
        totals.switchCount = c.total;
        const DistributionChart chart =
            BuildDistribution(Statistic::ContextSwitches, c.rows, totals, 1.0);
        EXPECT_EQ(chart.title, "Context Switch Distribution");
        EXPECT_EQ(Labels(chart), c.labels) << c.what;
    }
}

TEST(PieChartTest, DistributionSlicesTimesAndColours) {
    DistributionTotals totals;
    totals.sumTicks = 3000000;
    const DistributionChart chart = BuildDistribution(
        Statistic::Mhz, {Task("a", 1, 1500000), Task("b", 1, 1499000), Task("c", 1, 1000)}, totals,
        1.0);
    // Seconds keep the fraction of the last million ticks.
    EXPECT_EQ(Labels(chart),
              (std::vector<std::string>{"50.00%   a   1.5000 sec", "49.96%   b   1.4990 sec",
                                        "0.03%   c   1000.00 uSec", "0.01% Others: "}));
    ASSERT_EQ(chart.slices.size(), 4u);
    EXPECT_EQ(chart.slices[0].colour, Rgb(0, 51, 255));
    EXPECT_EQ(chart.slices[3].colour, Rgb(204, 51, 204));
    EXPECT_FLOAT_EQ(chart.slices[0].degrees, 180.0f);
    EXPECT_FLOAT_EQ(chart.slices[3].degrees, (0.01f + 0.005f) * 3.6f);
}

} // namespace
} // namespace zuta::graphs
