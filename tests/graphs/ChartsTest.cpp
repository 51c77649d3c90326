// The CPU usage graph's sessions, model and chart, and the drawing plans of the other charts: pies,
// gradient bars, the task palette and the time sequence list.
#include "engine/PerformanceData.h"
#include "graphs/CpuChart.h"
#include "graphs/CpuGraphModel.h"
#include "graphs/CpuSessions.h"
#include "graphs/GradientBar.h"
#include "graphs/PieChart.h"
#include "graphs/TaskPalette.h"
#include "graphs/TimeSequence.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace zuta::graphs {
namespace {

constexpr std::uint32_t kIdle = 1;
constexpr std::uint32_t kMask = 4;
constexpr std::uint32_t kTask = 0x10;
constexpr std::uint32_t kSwitch = 0;

GraphSample Sample(std::uint32_t id, std::uint32_t ticks, std::uint32_t kind = kSwitch,
                   std::uint32_t data = 0) {
    return {.id = id, .value0 = data, .ticks = ticks, .kind = kind};
}

// Two frames, a tail after the last frame interrupt, bookmarks in the second frame and the tail.
std::vector<GraphSample> TwoFrames() {
    return {Sample(kTask, 50), Sample(kIdle, 50), Sample(kMask, 5, kSampleInterrupt),
            // The second frame.
            Sample(7, 0, kSampleUserEvent, 9), Sample(kTask, 75),
            Sample(0x9000, 3, kSampleFunctionEntry), Sample(kIdle, 20),
            Sample(kMask, 5, kSampleInterrupt),
            // The tail.
            Sample(kTask, 40), Sample(7, 0, kSampleUserEvent, 11)};
}

TEST(CpuSessionsTest, FramesBecomeSessionsAndTheTailNone) {
    const auto samples = TwoFrames();
    CpuSessionSet set;
    ASSERT_EQ(BuildCpuSessions(samples, kMask, kIdle, 10.0, set), SessionBuild::Built);
    const std::vector<CpuSession> expected = {
        {50, 100, 50, 5, 0, 2},
        {80, 100, 20, 5, 2, 7},
    };
    EXPECT_EQ(set.sessions, expected);
    EXPECT_EQ(set.max.cpuPercent, 80u);
    EXPECT_EQ(set.max.session, 1u);
    EXPECT_EQ(set.min.cpuPercent, 50u);
    EXPECT_EQ(set.min.session, 0u);
    ASSERT_EQ(set.timeSequence.size(), 2u);
    EXPECT_FLOAT_EQ(set.timeSequence[1].microseconds, 10.0f);
    // The second bookmark came after the last frame: filed under the session that never closed.
    EXPECT_EQ(set.bookmarks.at(1), (std::vector<BookmarkHit>{{7, 9, kMask, 3}}));
    EXPECT_EQ(set.bookmarks.at(2), (std::vector<BookmarkHit>{{7, 11, kTask, 7}}));
    EXPECT_EQ(set.bookmarkNames.at(7), "0x7");

    // A mask event first, a mask that never comes, no samples, no idle task.
    const std::vector<GraphSample> maskFirst = {Sample(kMask, 5), Sample(kIdle, 10),
                                                Sample(kMask, 5)};
    ASSERT_EQ(BuildCpuSessions(maskFirst, kMask, kIdle, 1.0, set), SessionBuild::Built);
    ASSERT_EQ(set.sessions.size(), 2u);
    EXPECT_EQ(set.sessions[0].cpuPercent, 0u);
    EXPECT_EQ(set.sessions[0].totalTicks, 0u);

    EXPECT_EQ(BuildCpuSessions(TwoFrames(), 0x77, kIdle, 1.0, set), SessionBuild::Built);
    EXPECT_TRUE(set.sessions.empty());
    EXPECT_EQ(BuildCpuSessions({}, kMask, kIdle, 1.0, set), SessionBuild::NoSamples);
    EXPECT_EQ(BuildCpuSessions(TwoFrames(), kMask, 0, 1.0, set), SessionBuild::NoIdleTask);

    // The idle task closing its own sessions gives load 0, not a wrapped figure.
    const std::vector<GraphSample> idleMask = {Sample(kTask, 5), Sample(kIdle, 50)};
    ASSERT_EQ(BuildCpuSessions(idleMask, kIdle, kIdle, 1.0, set), SessionBuild::Built);
    EXPECT_EQ(set.sessions.at(0).cpuPercent, 0u);
}

TEST(CpuSessionsTest, MaskEventChoice) {
    struct Case {
        std::vector<std::string> names;
        std::string setting;
        std::optional<std::size_t> expected;
    };
    const Case cases[] = {
        {{"FrameInt", "Tmr3BkUp", "LTE"}, "LTE", 2},
        {{"A", "IRQ4", "FrameInt"}, "", 1},
        {{"Tmr3BkUp", "A", "IRQ66"}, "", 2},
        {{"A", "B"}, "C", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseMaskEvent(c.names, c.setting), c.expected) << c.setting;
}

TEST(CpuSessionsTest, PagingZoom) {
    SessionPaging paging;
    paging.SetSessionCount(30);
    paging.ToggleAll();
    EXPECT_EQ(paging.perPage(), 30u);
    EXPECT_EQ(paging.sessionsShown(), 30u);
    paging.Fewer(); // below one step the page keeps its size
    EXPECT_EQ(paging.perPage(), 30u);
    paging.ToggleAll();
    EXPECT_EQ(paging.perPage(), 150u);

    paging.SetSessionCount(400);
    paging.Fewer();
    paging.Fewer();
    paging.Fewer();
    EXPECT_EQ(paging.perPage(), 50u);
    EXPECT_TRUE(paging.MoveTo(7));
    EXPECT_EQ(paging.firstSession(), 350u);
    EXPECT_FALSE(paging.MoveTo(8));
    EXPECT_TRUE(paging.PageOn());
    EXPECT_EQ(paging.sessionsShown(), 0u);
    paging.ShowSession(120);
    EXPECT_EQ(paging.firstSession(), 100u);
}

TEST(CpuSessionsTest, Searches) {
    const auto samples = TwoFrames();
    CpuSessionSet set;
    ASSERT_EQ(BuildCpuSessions(samples, kMask, kIdle, 1.0, set), SessionBuild::Built);

    EXPECT_EQ(FindTaskRun(set, samples, kTask, 0, 0), (SessionHit{1, 4}));
    EXPECT_EQ(FindTaskRun(set, samples, kTask, 1, 4), std::nullopt); // the tail is no session
    EXPECT_EQ(FindLongRun(set, samples, 60.0, 1.0, 0, 0, true), (SessionHit{1, 4}));
    EXPECT_EQ(FindLongRun(set, samples, 50.0, 1.0, 1, 4, false), (SessionHit{0, 1}));

    CpuSessionSet marks;
    marks.sessions.resize(3);
    marks.bookmarks[0] = {{7, 1, 0, 0}, {8, 2, 0, 1}};
    marks.bookmarks[2] = {{7, 3, 0, 5}};
    marks.bookmarks[3] = {{7, 4, 0, 9}}; // after the last session
    struct Case {
        std::uint32_t session, position;
        bool forward;
        std::optional<std::pair<std::uint32_t, std::uint32_t>> expected;
    };
    const Case cases[] = {
        {0, 0, true, std::nullopt}, // more entries in the own list: the search ends there
        {0, 1, true, std::pair{2u, 0u}},  {2, 0, true, std::nullopt},
        {2, 0, false, std::pair{0u, 0u}}, {0, 1, false, std::nullopt}, // session 0: nothing before
    };
    for (const Case& c : cases) {
        const auto found = FindBookmark(marks, 7, c.session, c.position, c.forward);
        ASSERT_EQ(found.has_value(), c.expected.has_value()) << c.session << '/' << c.position;
        if (found) {
            EXPECT_EQ(std::pair(found->session, found->position), *c.expected);
        }
    }
    // The bookmark of session 2 comes after the two of session 0.
    EXPECT_EQ(BookmarkRank(marks, *FindBookmark(marks, 7, 0, 1, true)), 2u);
}

// The store the CPU graph reads names and task types from.
class CpuGraphModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        data_.AddOrUpdateTask("Idle", kIdle, 0);
        data_.AddOrUpdateTask("FrameInt", kMask, 2);
        data_.AddOrUpdateTask("L1_HISR", kTask, 1);
        ASSERT_EQ(BuildCpuSessions(samples_, kMask, kIdle, 10.0, set_), SessionBuild::Built);
    }
    CPerformanceData data_;
    std::vector<GraphSample> samples_ = TwoFrames();
    CpuSessionSet set_;
};

TEST_F(CpuGraphModelTest, TimelineBoxesFollowEachOtherOnTheirRows) {
    const Rect area{10, 100, 210, 160};
    // Session 1: the frame interrupt (5), a bookmark, the HISR (75), the idle task (20).
    const auto boxes =
        TimelineBoxes(data_, samples_, set_.sessions[1], area, TimelineMode::TimeProportional);
    const std::vector<Rect> proportional = {
        {14, 124, 24, 134}, {24, 134, 25, 144}, {25, 114, 175, 124}, {175, 104, 215, 114}};
    ASSERT_EQ(boxes.size(), proportional.size());
    for (std::size_t i = 0; i < boxes.size(); ++i)
        EXPECT_EQ(boxes[i].rect, proportional[i]) << i;
    EXPECT_EQ(TimelineHit(boxes, 30, 118), std::optional<std::uint32_t>(4));
    EXPECT_EQ(TimelineHit(boxes, 30, 130), std::nullopt);

    const auto equal =
        TimelineBoxes(data_, samples_, set_.sessions[1], area, TimelineMode::EqualWidth);
    ASSERT_EQ(equal.size(), 4u);
    // Five samples share the width (the function event is not drawn); a bookmark takes half.
    EXPECT_EQ(equal[0].rect.width(), 40);
    EXPECT_EQ(equal[1].rect.width(), 20);
    EXPECT_EQ(equal[2].rect.left, 74);
}

// A session's pie of shares, its details and those of a sample, and the tips.
TEST_F(CpuGraphModelTest, DetailListsTipsAndTheSessionPie) {
    TaskColours colours;
    const auto shares =
        SessionShares(data_, samples_, set_.sessions[1], 10.0, kIdle, kTask, colours);
    ASSERT_EQ(shares.size(), 3u);
    EXPECT_EQ(shares[0].label, "20.00% / Idle (2.00 uSec)");
    EXPECT_EQ(shares[0].textColour, kIdleShareText);
    EXPECT_EQ(shares[1].label, "5.00%   / FrameInt (0.50 uSec)");
    EXPECT_EQ(shares[2].textColour, kFoundShareText);
    EXPECT_EQ(SessionPieTitle(1, 80), "Session Pos #1, CPU 80 %");

    EXPECT_EQ(SessionDetails(set_, 1, 10.0).at(6),
              (DetailRows::value_type{"Min CPU/Session", "50% / 0"}));
    EXPECT_TRUE(SessionDetails(CpuSessionSet{}, 0, 10.0).empty());

    samples_[2].value0 = 4;
    samples_[2].value2 = 1;
    const DetailRows irq = TaskDetails(data_, samples_, 2, set_, 1, 10.0, false, false);
    EXPECT_EQ(irq.at(0), (DetailRows::value_type{"IRQ Name/Number", "FrameInt/4"}));
    EXPECT_EQ(irq.at(3), (DetailRows::value_type{"CPI", "1.25"}));
    EXPECT_EQ(TaskDetails(data_, samples_, 3, set_, 1, 10.0, true, false),
              (DetailRows{{"Book Mark ID", "0x7"},
                          {"Book Mark Data", "0x9"},
                          {"Parent Task", "FrameInt"}}));
    EXPECT_EQ(TaskDetails(data_, samples_, 4, set_, 1, 10.0, false, true),
              (DetailRows{{"HISR Name", "L1_HISR"}, {"Run time", "7.50 uSec"}}));

    EXPECT_EQ(ChartTip(set_, 1, 10.0), "CPU=80%, Time=0.0000 sec, Position=1");
    EXPECT_EQ(TimelineTip(data_, samples_[3], false, TimelineMode::EqualWidth), "BookMark: 7");
}

constexpr ColorRef kBlue = Rgb(0, 51, 255);

CCpuChart PageOfFour() {
    CCpuChart chart;
    chart.Create(0, 0, 400, 110);
    chart.SetPointsPerPage(4);
    return chart;
}

// Points spread over the page and rise by the eleven bands; a hit test finds the gap right of a
// point.
TEST(CpuChartTest, PointsSpreadOverThePageAndHitTestFindsTheGapRightOfAPoint) {
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
    const std::pair<int, int> hits[] = {{99, 0},  {100, 1}, {150, 1}, {200, 1},
                                        {201, 2}, {400, 3}, {401, 0}};
    for (const auto& [x, hit] : hits)
        EXPECT_EQ(chart.HitTest(x), hit) << x;

    chart.Clear();
    EXPECT_TRUE(chart.AddPoint(100));
    EXPECT_EQ(chart.points().front(), (Point{100, 5}));

    CCpuChart unsized;
    EXPECT_FALSE(unsized.AddPoint(10));
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
    for (const Case& c : cases)
        EXPECT_EQ(ThinLinePixels(c.from, c.to), c.pixels) << c.to.x << "," << c.to.y;
}

constexpr int kText = 14;

std::vector<PieSlice> Slices(const std::vector<std::pair<float, std::string>>& shares) {
    std::vector<PieSlice> slices;
    for (const auto& [percent, label] : shares)
        slices.push_back(MakePieSlice(Rgb(1, 2, 3), 0, percent, label));
    return slices;
}

// The pie is a square standing on the legend, centred across; its wedges take whole degrees, and
// small ones no percentage.
TEST(PieChartTest, PieStandsOnTheLegendAndWedgesTakeWholeDegrees) {
    EXPECT_EQ(PieRect({10, 20, 410, 300}, 2, kText), (Rect{85, 20, 335, 270}));
    EXPECT_EQ(PieRect({0, 0, 300, 460}, 4, kText), (Rect{0, 100, 300, 400}));
    // A taller font keeps taller legend rows; too many slices leave no pie at all.
    EXPECT_EQ(PieRect({0, 0, 300, 460}, 4, 20), (Rect{0, 80, 300, 380}));
    EXPECT_TRUE(PieRect({0, 0, 300, 100}, 10, kText).empty());
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

std::pair<std::string, TaskRecord> Task(const std::string& name, std::uint64_t runs,
                                        std::uint64_t ticks = 0) {
    return {name, {.name = name, .runs = runs, .ticks = ticks}};
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
    EXPECT_EQ(chart.slices[0].colour, kBlue);
    EXPECT_EQ(chart.slices[3].colour, Rgb(204, 51, 204));
    EXPECT_FLOAT_EQ(chart.slices[0].degrees, 180.0f);
    EXPECT_FLOAT_EQ(chart.slices[3].degrees, (0.01f + 0.005f) * 3.6f);
}

constexpr ColorRef kWhite = Rgb(255, 255, 255);

TEST(GradientBarTest, StripsRunFromTheColourAtTheEdgesToTheHighlightInside) {
    struct Case {
        Rect rect;
        Rect box;
        std::vector<std::pair<int, ColorRef>> strips; // column and colour
    };
    // Halfway from white to (0,51,255) is (128,153,255): the distance is rounded down.
    const ColorRef half = Rgb(128, 153, 255);
    const Case cases[] = {
        // Width 0 is painted 2 wide; width 2 has an empty left third.
        {{10, 5, 10, 15}, {10, 5, 12, 15}, {{10, half}, {11, kBlue}}},
        {{10, 5, 12, 15}, {10, 5, 12, 15}, {{10, half}, {11, kBlue}}},
        // A flat box grows upwards.
        {{0, 9, 2, 9}, {0, 7, 2, 9}, {{0, half}, {1, kBlue}}},
        {{0, 0, 9, 4},
         {0, 0, 9, 4},
         {{2, Rgb(170, 187, 255)},
          {1, Rgb(85, 119, 255)},
          {0, kBlue},
          {3, Rgb(213, 221, 255)},
          {4, Rgb(170, 187, 255)},
          {5, Rgb(128, 153, 255)},
          {6, Rgb(85, 119, 255)},
          {7, Rgb(43, 85, 255)},
          {8, kBlue}}},
    };
    for (const Case& c : cases) {
        const GradientBarPlan plan = PlanGradientBar(c.rect, kBlue, kWhite, true, false, true);
        EXPECT_EQ(plan.box, c.box);
        EXPECT_TRUE(plan.shadow.empty()); // selected, but without a border
        ASSERT_EQ(plan.parts.size(), c.strips.size()) << c.rect.left << "," << c.rect.right;
        for (std::size_t i = 0; i < c.strips.size(); ++i) {
            const auto [x, colour] = c.strips[i];
            const Fill expected{{x, c.box.top, x + 1, c.box.bottom}, colour};
            EXPECT_EQ(plan.parts[i], expected) << "strip " << i;
        }
    }
}

// Colours go round the palette, each later round adding its number to the whole value: a carry out
// of red reaches green and blue. An identifier keeps the colour it was given first.
TEST(TaskPaletteTest, LaterRoundsAddTheRoundNumberAndIdentifiersKeepTheirColour) {
    TaskPalette palette;
    std::vector<ColorRef> colours;
    for (int i = 0; i < 23; ++i)
        colours.push_back(palette.Next());
    EXPECT_EQ(colours[0], kBlue);
    EXPECT_EQ(colours[10], Rgb(255, 255, 4));
    EXPECT_EQ(colours[11], Rgb(1, 51, 255)); // the second round adds 1
    EXPECT_EQ(colours[21], Rgb(0, 0, 5));    // a carry out of red
    EXPECT_EQ(colours[22], Rgb(2, 51, 255));

    TaskColours byId;
    EXPECT_EQ(byId.ColourOf(0x40), kBlue);
    EXPECT_EQ(byId.ColourOf(0x41), Rgb(51, 102, 255));
    EXPECT_EQ(byId.ColourOf(0x40), kBlue);
}

TEST(TimeSequenceTest, RowsMoreThanFiftyWholeMicrosecondsOffTheLastSessionStandOut) {
    TimeSequence sequence;
    struct Case {
        float microseconds;
        const char* text;
        bool off;
    };
    const Case cases[] = {
        {30.0f, "30.00", true},      {4564.99f, "4564.99", true}, {4566.0f, "4566.00", false},
        {4666.0f, "4666.00", false}, {4667.5f, "4667.50", true},  {4616.375f, "4616.38", false},
        {4616.0f, "4616.00", false},
    };
    std::uint32_t session = 0;
    for (const Case& c : cases)
        sequence.Append(session++, c.microseconds);
    EXPECT_EQ(sequence.reference(), 4616.0f);
    for (std::size_t row = 0; row < std::size(cases); ++row) {
        EXPECT_EQ(sequence.PositionText(row), std::to_string(row));
        EXPECT_EQ(sequence.TimeText(row), cases[row].text);
        EXPECT_EQ(sequence.OffPeriod(row), cases[row].off) << cases[row].text;
    }

    // A session shorter than 50 microseconds is compared as it is, not wrapped round.
    sequence.Clear();
    EXPECT_TRUE(sequence.entries().empty());
    EXPECT_EQ(sequence.reference(), 4616.0f);
    sequence.Append(0, 30.0f);
    sequence.Append(1, 40.0f);
    EXPECT_FALSE(sequence.OffPeriod(0));
}

} // namespace
} // namespace zuta::graphs
