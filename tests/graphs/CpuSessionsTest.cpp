#include "graphs/CpuSessions.h"

#include "engine/PerformanceData.h"
#include "graphs/CpuGraphModel.h"

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
    GraphSample s;
    s.id = id;
    s.ticks = ticks;
    s.kind = kind;
    s.value0 = data;
    return s;
}

// Two frames, a tail after the last frame interrupt, bookmarks in the second frame and the tail.
std::vector<GraphSample> TwoFrames() {
    return {
        Sample(kTask, 50),
        Sample(kIdle, 50),
        Sample(kMask, 5, kSampleInterrupt),
        Sample(7, 0, kSampleUserEvent, 9),
        Sample(kTask, 75),
        Sample(0x9000, 3, kSampleFunctionEntry),
        Sample(kIdle, 20),
        Sample(kMask, 5, kSampleInterrupt),
        Sample(kTask, 40),
        Sample(7, 0, kSampleUserEvent, 11),
    };
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
}

TEST(CpuSessionsTest, EdgeCasesOfTheBuild) {
    CpuSessionSet set;
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

TEST_F(CpuGraphModelTest, DetailListsAndTips) {
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

TEST_F(CpuGraphModelTest, SessionPieShares) {
    TaskColours colours;
    const auto shares =
        SessionShares(data_, samples_, set_.sessions[1], 10.0, kIdle, kTask, colours);
    ASSERT_EQ(shares.size(), 3u);
    EXPECT_EQ(shares[0].label, "20.00% / Idle (2.00 uSec)");
    EXPECT_EQ(shares[0].textColour, kIdleShareText);
    EXPECT_EQ(shares[1].label, "5.00%   / FrameInt (0.50 uSec)");
    EXPECT_EQ(shares[2].textColour, kFoundShareText);
    EXPECT_EQ(SessionPieTitle(1, 80), "Session Pos #1, CPU 80 %");
}

} // namespace
} // namespace zuta::graphs
