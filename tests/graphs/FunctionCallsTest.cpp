#include "graphs/FunctionCalls.h"

#include "graphs/FunctionGraphView.h"
#include "support/StoreServices.h"

#include <gtest/gtest.h>
#include <tuple>

namespace zuta::graphs {
namespace {

constexpr std::uint32_t kTask = 1;
constexpr std::uint32_t kEvent = 2;
constexpr std::uint32_t kIrq = 3;

GraphSample G(std::uint32_t kind, std::uint32_t id, std::uint32_t ticks) {
    GraphSample s;
    s.id = id;
    s.ticks = ticks;
    s.kind = kind;
    return s;
}
GraphSample Enter(std::uint32_t function, std::uint32_t ticks) {
    return G(kSampleFunctionEntry, function, ticks);
}
GraphSample Exit(std::uint32_t function, std::uint32_t ticks) {
    return G(kSampleFunctionExit, function, ticks);
}

// `count` calls of function 3 one after the other, each enter and exit `ticks` long.
std::vector<GraphSample> Flat(std::size_t count, std::uint32_t ticks) {
    std::vector<GraphSample> samples{G(kTask, 1001, 0)};
    for (std::size_t i = 0; i < count; ++i) {
        samples.push_back(Enter(3, ticks));
        samples.push_back(Exit(3, ticks));
    }
    return samples;
}

TEST(FunctionCallsTest, MarksAndCallsOfNestedCalls) {
    // The run's ticks include those of the function events after it, as graph samples carry them.
    const auto set = BuildFunctionCalls(std::vector<GraphSample>{
        G(kTask, 1001, 200), Enter(1, 10), Enter(2, 20), Exit(2, 30), Exit(1, 40)});
    EXPECT_EQ(set.maxDepth, 2u);
    EXPECT_EQ(set.otherTime, 200u);
    EXPECT_EQ(set.functionTime, 100u);
    ASSERT_EQ(set.marks.size(), 4u);
    EXPECT_EQ(set.marks[2], (FunctionMark{3, 2, 1001, 60, kSampleFunctionExit, 60, 2, 260}));
    ASSERT_EQ(set.calls.size(), 2u);
    // The enters of the call's own function are left out of its run time.
    EXPECT_EQ(set.calls[0], (FunctionCall{1001, 1, 10, 100, 210, 300, 10, 90, 0, 0, 1, 1, 4}));
    EXPECT_EQ(set.calls[1], (FunctionCall{1001, 2, 30, 60, 230, 260, 30, 30, 0, 0, 2, 2, 3}));
}

TEST(FunctionCallsTest, UnmatchedMarksSwitchesAndContexts) {
    // function, context, depth, enter index, exit index, run time, switches, switch ticks
    using Expected = std::tuple<std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                std::uint32_t, std::uint64_t, std::uint32_t, std::uint64_t>;
    struct Case {
        const char* what;
        std::vector<GraphSample> samples;
        std::size_t marks;
        std::vector<Expected> calls;
    };
    const Case cases[] = {
        {"an exit first is dropped",
         {G(kTask, 1001, 0), Exit(1, 5), Enter(1, 10), Exit(1, 20)},
         2,
         {{1, 1001, 1, 2, 3, 20, 0, 0}}},
        {"an unmatched enter closes at the last mark",
         {G(kTask, 1001, 0), Enter(1, 10), Enter(2, 20), Exit(2, 30)},
         3,
         {{1, 1001, 1, 1, 3, 50, 0, 0}, {2, 1001, 2, 2, 3, 30, 0, 0}}},
        {"a lone enter closes on itself",
         {G(kTask, 1001, 0), Enter(1, 10)},
         1,
         {{1, 1001, 1, 1, 1, 0, 0, 0}}},
        {"switches inside a call; a user event keeps the context",
         {G(kTask, 1001, 0), Enter(1, 10), G(kIrq, 7, 50), G(kEvent, 4, 0), Enter(2, 1), Exit(2, 2),
          G(kTask, 1001, 60), Exit(1, 20)},
         4,
         {{1, 1001, 1, 1, 7, 23, 2, 110}, {2, 7, 2, 4, 5, 2, 0, 0}}},
        {"a recursive call does not count its inner enter",
         {G(kTask, 1001, 0), Enter(1, 10), Enter(1, 11), Exit(1, 12), Exit(1, 13)},
         4,
         {{1, 1001, 1, 1, 4, 25, 0, 0}, {1, 1001, 2, 2, 3, 12, 0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto set = BuildFunctionCalls(c.samples);
        EXPECT_EQ(set.marks.size(), c.marks);
        ASSERT_EQ(set.calls.size(), c.calls.size());
        for (std::size_t i = 0; i < c.calls.size(); ++i) {
            const FunctionCall& got = set.calls[i];
            EXPECT_EQ(Expected(got.function, got.context, got.depth, got.enterIndex, got.exitIndex,
                               got.runTime, got.switches, got.switchTicks),
                      c.calls[i])
                << i;
        }
    }
}

struct FunctionGraphViewTest : ::testing::Test, test::StoreServices {
    FunctionGraphViewTest() {
        Connect(data, sink);
        data.Write([](StoreState& s) {
            s.AddOrUpdateTask("TaskA", 1001, kTypeTask);
            s.AddOrUpdateTask("fnThree", 5003, kTypeFunctionEnter);
            s.AddOrUpdateTask("fnSeven", 5007, kTypeFunctionEnter);
        });
        map.SetName(3, "Three");
        map.SetName(7, "Seven");
        map.SetName(9, "Nine");
    }
    FunctionGraphView View(const std::vector<GraphSample>& samples, bool fromStore = false,
                           double divisor = 1.0) {
        return {BuildFunctionCalls(samples),
                fromStore ? FunctionNames(data) : FunctionNames(data, map), divisor};
    }

    test::RecordingSink sink;
    CPerformanceData data;
    FunctionNameMap map;
};

TEST_F(FunctionGraphViewTest, NestedCallsStackByDepth) {
    const auto view =
        View({G(kTask, 1001, 0), Enter(1, 10), Enter(2, 20), Exit(2, 30), Exit(1, 40)});
    // The span is the enclosing call's end plus the first start, 110 ticks over 710 pixels; the
    // view starts at the first call.
    EXPECT_EQ(view.CallRect(0), (Rect{10, 22, 590, 34}));
    EXPECT_EQ(view.CallRect(1), (Rect{139, 34, 332, 46}));
    EXPECT_EQ(view.visibleCount(), 2u);
    EXPECT_EQ(view.HitTest(200, 40), 1u);
    EXPECT_EQ(view.HitTest(100, 25), 0u);
    EXPECT_EQ(view.HitTest(100, 40), std::nullopt);
}

TEST_F(FunctionGraphViewTest, FitUndoesZoomAndScrolling) {
    auto view = View(Flat(5, 10));
    EXPECT_EQ(view.viewStart(), 10u);
    EXPECT_TRUE(view.ScrollOn());
    view.ZoomIn();
    view.ZoomIn();
    EXPECT_FLOAT_EQ(view.zoom(), 4.0f);
    EXPECT_EQ(view.firstVisible(), 1u);
    EXPECT_EQ(view.viewStart(), 30u);
    view.Fit();
    EXPECT_FLOAT_EQ(view.zoom(), 1.0f);
    EXPECT_EQ(view.firstVisible(), 0u);
    EXPECT_EQ(view.viewStart(), 0u);
    EXPECT_EQ(view.visibleCount(), 5u);
    // Scrolling stops at either end.
    EXPECT_FALSE(view.ScrollBack());
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(view.ScrollOn());
    EXPECT_FALSE(view.ScrollOn());
    EXPECT_EQ(view.firstVisible(), view.scrollMaximum());
}

TEST_F(FunctionGraphViewTest, ThreeHundredCallsZoomInByThemselves) {
    auto view = View(Flat(300, 10));
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_FLOAT_EQ(view.zoom(), 10.0f);
        EXPECT_EQ(view.visibleCount(), 30u);
        // Only the first tenth of the span is on screen.
        EXPECT_LE(view.calls()[view.visibleCount() - 1].end, 601u);
        view.Fit();
    }
    EXPECT_EQ(view.SessionDetails(), (DetailRows{{"Functions Count", "300"},
                                                 {"Functions displayed", "30"},
                                                 {"Dispalyed From", "0"}}));
}

TEST_F(FunctionGraphViewTest, TimeDeltaBetweenSelectedCalls) {
    auto view = View(Flat(10, 10));
    // Calls start 20 ticks apart; the delta runs from the earlier start to the later one.
    EXPECT_EQ(view.Select(5), "100.00 uSec");
    EXPECT_EQ(view.Select(2), "60.00 uSec");
    EXPECT_EQ(view.selected(), 2u);
    EXPECT_EQ(view.Select(99), "");
    EXPECT_EQ(view.selected(), 2u);
}

TEST_F(FunctionGraphViewTest, PositionsBeyondThirtyTwoBits) {
    // Each event is four thousand million ticks: the second call starts past 2^33.
    const std::uint32_t big = 4'000'000'000u;
    auto view = View(
        {G(kTask, 1001, 0), Enter(3, big), Exit(3, big), Enter(3, big), Exit(3, 3'000'000'000u)},
        false, 100.0);
    ASSERT_EQ(view.calls().size(), 2u);
    EXPECT_EQ(view.calls()[1].start, 12'000'000'000u);
    // Span 15e9 + 4e9 over 710 pixels: the second call is 8e9 ticks, 298.9 pixels, further on.
    EXPECT_EQ(view.CallRect(1).left, 308);
    EXPECT_EQ(view.CallRect(1).right, 420);
    EXPECT_EQ(view.Select(1), "80.0000 sec");
    EXPECT_EQ(view.FunctionDetails()[2],
              (std::pair<std::string, std::string>{"Start Pos", "120.0000 sec"}));
}

TEST_F(FunctionGraphViewTest, FindListsOnlyFunctionsThatOccur) {
    const std::vector<GraphSample> samples{G(kTask, 1001, 0), Enter(3, 10), Exit(3, 10),
                                           Enter(7, 10),      Exit(7, 10),  Enter(3, 10),
                                           Exit(3, 10)};
    for (const bool fromStore : {false, true}) {
        SCOPED_TRACE(fromStore ? "names from the store" : "names from the map");
        auto view = View(samples, fromStore);
        ASSERT_EQ(view.findChoices().size(), 2u);
        EXPECT_EQ(view.findChoices()[1].name, fromStore ? "fnSeven" : "Seven");
        EXPECT_EQ(view.Find(1), "20.00 uSec");
        EXPECT_EQ(view.selected(), 1u);
        EXPECT_EQ(view.Find(1), std::nullopt);
        EXPECT_EQ(view.Find(0), "20.00 uSec");
        EXPECT_EQ(view.selected(), 2u);
        EXPECT_EQ(view.FunctionDetails(),
                  (DetailRows{{fromStore ? "Function Name" : "Function Id/Name",
                               fromStore ? "fnThree" : "3/Three"},
                              {"Context Task", "TaskA"},
                              {"Start Pos", "0.0000 sec"},
                              {"Start Pos in Task", "10.00 uSec"},
                              {"Run Time", "10.00 uSec"}}));
        EXPECT_EQ(view.Tip(2), "Context Task = TaskA, Start Pos = 50.00 uSec,\n Pos = 3, Run "
                               "Time = 10.00 uSec");
    }
}

} // namespace
} // namespace zuta::graphs
