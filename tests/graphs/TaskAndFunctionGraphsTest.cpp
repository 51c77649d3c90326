// The task graph's model over the store, and function calls: how they nest and how their graph
// shows them.
#include "graphs/FunctionCalls.h"
#include "graphs/FunctionGraphView.h"
#include "graphs/TaskGraphModel.h"
#include "support/StoreServices.h"

#include <gtest/gtest.h>
#include <tuple>

namespace zuta::graphs {
namespace {

constexpr auto kTask = RecordKind::TaskSwitch;
constexpr auto kEvent = RecordKind::UserEvent;
constexpr auto kIrq = RecordKind::IrqSwitch;
constexpr auto kEnter = RecordKind::FunctionEnter;
constexpr auto kExit = RecordKind::FunctionExit;

// 600 pixels wide: six runs or 28 user events fit on a page.
constexpr Rect kGraph{100, 10, 700, 200};

SampleRecord S(std::uint32_t id, RecordKind kind, std::uint32_t ticks = 0, std::uint32_t v0 = 0,
               std::uint32_t v1 = 0, std::uint32_t v2 = 0) {
    return {id, v0, v1, v2, 0, ticks, static_cast<std::uint32_t>(kind)};
}

// A store holding the samples of a collection of three tasks, an IRQ and a function, as a file
// loader leaves it.
struct TaskGraphModelTest : ::testing::Test, test::StoreServices {
    TaskGraphModelTest() {
        Connect(data, sink);
        Restart();
    }
    // An empty store that knows the tasks.
    void Restart() {
        data.ResetStore();
        data.Write([](StoreState& s) {
            s.AddOrUpdateTask("TaskA", 1001, kTypeTask);
            s.AddOrUpdateTask("HisrB", 1002, kTypeHisr);
            s.AddOrUpdateTask("TaskC", 1003, kTypeTask);
            s.AddOrUpdateTask("IRQ5", 5, kTypeIrq);
            s.AddOrUpdateTask("fnSeven", 5007, kTypeFunctionEnter);
        });
    }
    void Store(const std::vector<SampleRecord>& samples) {
        data.Write([&](StoreState& s) {
            for (const SampleRecord& sample : samples) {
                s.samples.push_back(sample);
                if (TaskRecord* task = s.Find(sample.id); task != nullptr && IsSwitch(sample.kind))
                    ++task->runs;
            }
        });
    }
    // Runs of TaskA, HisrB and TaskC in turn, each `ticks` long.
    void StoreRuns(std::size_t count, std::uint32_t ticks = 100) {
        std::vector<SampleRecord> runs;
        for (std::size_t i = 0; i < count; ++i)
            runs.push_back(S(1001 + static_cast<std::uint32_t>(i % 3), kTask, ticks));
        Store(runs);
    }
    TaskGraphModel Open(TaskGraphOptions options = {}) {
        options.armClockMhz = 100;
        TaskGraphModel model(data, options, {"TaskA", "HisrB", "TaskC", "IRQ5"});
        if (options.live)
            model.Refresh();
        model.SetGraphRect(kGraph);
        return model;
    }

    test::RecordingSink sink;
    CPerformanceData data;
};

TEST_F(TaskGraphModelTest, UserEventsPackAboutFourTimesDenserAndScrollingWalksThePages) {
    for (const auto& [kind, perPage] : {std::pair{kTask, 6u}, std::pair{kEvent, 28u}}) {
        Restart();
        Store(std::vector<SampleRecord>(100, S(kind == kTask ? 1001 : 2003, kind)));
        TaskGraphModel model = Open();
        EXPECT_EQ(model.pageCount(), perPage);
        EXPECT_EQ(model.scrollMaximum(), 99 / perPage);
        EXPECT_EQ(model.RangeText(), "0 - " + std::to_string(perPage - 1));
    }
    Restart();
    StoreRuns(40);
    TaskGraphModel model = Open();
    ASSERT_EQ(model.scrollMaximum(), 6u);
    model.ScrollTo(6);
    EXPECT_EQ(model.first(), 36u);
    EXPECT_EQ(model.pageCount(), 4u);
    model.ScrollRight();
    EXPECT_EQ(model.scrollPosition(), 6u);
}

TEST_F(TaskGraphModelTest, BoxesOfEveryKind) {
    Store({S(1001, kTask), S(2009, kEvent), S(1002, kTask), S(5, kIrq), S(5007, kEnter),
           S(5007, kExit)});
    TaskGraphModel model = Open();
    // Runs on their type's row, user events narrow and plain, function events without gradient.
    const std::pair<Rect, const char*> expected[] = {
        {{101, 14, 191, 30}, "TaskA"},    {{191, 26, 213, 42}, "9"},
        {{214, 32, 304, 48}, "HisrB"},    {{305, 50, 395, 66}, "IRQ5"},
        {{396, 68, 486, 84}, "(fnSeven"}, {{487, 68, 577, 84}, "fnSeven)"},
    };
    const std::vector<TaskGraphBox> boxes = model.PageBoxes();
    ASSERT_EQ(boxes.size(), std::size(expected));
    for (std::size_t k = 0; k < boxes.size(); ++k) {
        EXPECT_EQ(boxes[k].rect, expected[k].first) << k;
        EXPECT_EQ(boxes[k].text, expected[k].second) << k;
        EXPECT_EQ(boxes[k].gradient, k < 4) << k;
        EXPECT_EQ(boxes[k].border, k != 1) << k;
    }
    EXPECT_TRUE(boxes[0].selected);
    EXPECT_EQ(boxes[4].colour, boxes[5].colour);
}

// A user event opening a page sits at the left edge on the row of the page's first run.
TEST_F(TaskGraphModelTest, UserEventOpeningAPage) {
    struct Case {
        std::vector<SampleRecord> samples;
        int top;
    };
    const Case cases[] = {
        {{S(2001, kEvent), S(2002, kEvent), S(1002, kTask)}, kGraph.top + 22 + 16 - 4},
        {{S(2001, kEvent), S(2002, kEvent)}, kGraph.top + 4 + 16 - 4},
    };
    for (const Case& c : cases) {
        Restart();
        Store(c.samples);
        TaskGraphModel model = Open();
        const auto boxes = model.PageBoxes();
        EXPECT_EQ(boxes[0].rect, (Rect{101, c.top, 123, c.top + 16}));
        EXPECT_EQ(boxes[1].rect.left, 123);
    }
}

TEST_F(TaskGraphModelTest, HitTestWalksNinetyOneAndTwentyOne) {
    Store({S(1001, kTask), S(2001, kEvent), S(1002, kTask)});
    TaskGraphModel model = Open();
    const std::pair<int, int> cases[] = {
        {101, 0}, {192, 0}, {193, 1}, {213, 1}, {214, 2}, {304, 2}, {305, -1}, {99, -1},
    };
    for (const auto& [x, hit] : cases)
        EXPECT_EQ(model.HitTest(x, 20), hit) << x;
    EXPECT_EQ(model.HitTest(150, 5), -1);
    EXPECT_EQ(model.BoxText(1), "1");
}

TEST_F(TaskGraphModelTest, TimeDeltaSumsTheRunsBetween) {
    Store({S(1001, kTask, 100), S(1002, kTask, 1000), S(1003, kTask, 2000), S(1001, kTask, 50)});
    TaskGraphModel model = Open();
    EXPECT_EQ(model.Select(0), "0.00 uSec");
    EXPECT_EQ(model.Select(3), "30.00 uSec");
    EXPECT_EQ(model.Select(0), "30.00 uSec");
}

TEST_F(TaskGraphModelTest, RightClickFindsTheNextRunOnALaterPage) {
    Store({S(1001, kTask, 100)});
    for (int i = 0; i < 19; ++i)
        Store({S(1002, kTask, 100)});
    Store({S(1001, kTask, 100), S(1002, kTask, 100)});
    TaskGraphModel model = Open();
    EXPECT_EQ(model.NextRun(0), "20.00 uSec");
    EXPECT_EQ(model.first(), 18u);
    EXPECT_EQ(model.selected(), 2u);
    EXPECT_EQ(model.scrollPosition(), 3u);
    EXPECT_EQ(model.SelectedDetails()[0].second, "TaskA");
    EXPECT_EQ(model.NextRun(2), "");
    EXPECT_EQ(model.first(), 18u);
}

TEST_F(TaskGraphModelTest, FindCountsRunsAndTheFunctionsAfterTheLast) {
    // The run of HisrB carries its two function events, which count again in their own turn.
    Store({S(1001, kTask, 1), S(1002, kTask, 10), S(5007, kEnter, 100), S(5007, kExit, 1000)});
    Store(std::vector<SampleRecord>(20, S(1001, kTask, 100)));
    Store({S(1003, kTask, 1000), S(5007, kEnter, 7)});
    TaskGraphModel model = Open();
    std::string delta;
    ASSERT_EQ(model.Find("HisrB", delta), FindResult::Found);
    EXPECT_EQ(delta, "11.10 uSec");
    EXPECT_EQ(model.first() + model.selected(), 1u);
    ASSERT_EQ(model.Find("TaskC", delta), FindResult::Found);
    EXPECT_EQ(delta, "30.07 uSec");
    EXPECT_EQ(model.first(), 24u);
    EXPECT_EQ(model.selected(), 0u);
    EXPECT_EQ(model.scrollPosition(), model.scrollMaximum());
    EXPECT_EQ(model.Find("IRQ5", delta), FindResult::NotFound);
    EXPECT_EQ(model.Find("TaskC", delta), FindResult::NotFound);

    TaskGraphModel rawLog = Open({.rawLog = true});
    ASSERT_EQ(rawLog.Find("fnSeven", delta), FindResult::Found);
    EXPECT_EQ(delta, "12.10 uSec");

    data.ResetStore();
    EXPECT_EQ(Open().Find("TaskA", delta), FindResult::NoSamples);
}

TEST_F(TaskGraphModelTest, DetailsPerSampleType) {
    Store({S(1001, kTask, 300, 100, 7, 25), S(5007, kEnter, 50), S(5007, kExit, 20),
           S(2004, kEvent, 0, 0xab), S(5, kIrq, 200, 0, 3, 4)});
    using Rows = std::vector<std::pair<std::string, std::string>>;
    struct Case {
        std::size_t index;
        Rows head;
    };
    const Case cases[] = {
        {0, {{"Task Name", "TaskA"}, {"Run time", "3.70 uSec"}}},
        {1, {{"Enter Fn Name", "fnSeven"}, {"Time Stamp delta", "0.50 uSec"}}},
        {3, {{"User Event ID", "4"}, {"User Event Data", "0xab"}}},
    };
    TaskGraphModel model = Open();
    TaskGraphModel simple = Open({.simpleMode = true});
    for (const Case& c : cases) {
        const Rows rows = model.Details(c.index);
        ASSERT_GE(rows.size(), c.head.size()) << c.index;
        EXPECT_EQ(Rows(rows.begin(), rows.begin() + c.head.size()), c.head) << c.index;
        EXPECT_EQ(simple.Details(c.index).size(), c.index == 3 ? 1u : c.head.size()) << c.index;
    }
    // The counters follow the head of a run: CPI = 370 ticks / 100 instructions.
    EXPECT_EQ(model.Details(0).at(3), (Rows::value_type{"CPI", "3.70"}));
}

// Offline the graph shows the samples stored when it opened, and no more than the store holds.
// Live it shows the newest ten samples oldest first; with ten or fewer stored, none.
TEST_F(TaskGraphModelTest, OfflineReadsWhatWasStoredAtOpeningLiveTheNewestTen) {
    StoreRuns(3);
    TaskGraphModel offline = Open();
    StoreRuns(3);
    EXPECT_EQ(offline.sampleCount(), 3u);
    EXPECT_EQ(offline.PageBoxes().size(), 3u);
    data.ResetStore();
    EXPECT_EQ(offline.sampleCount(), 0u);
    EXPECT_TRUE(offline.PageBoxes().empty());
    EXPECT_EQ(offline.Select(2), "0.00 uSec");

    Restart();
    StoreRuns(kLiveSamples);
    TaskGraphModel live = Open({.live = true});
    EXPECT_EQ(live.sampleCount(), 0u);
    EXPECT_TRUE(live.PageBoxes().empty());
    EXPECT_EQ(live.NextRun(0), "");
    StoreRuns(5);
    live.Refresh();
    EXPECT_EQ(live.sampleCount(), kLiveSamples);
    EXPECT_EQ(live.pageCount(), 6u);
    EXPECT_EQ(live.PageBoxes()[0].text, "TaskC"); // sample 5 of 15
    EXPECT_EQ(live.NextRun(0), "3.00 uSec");      // sample 8
}

TEST_F(TaskGraphModelTest, FindListsTasksWithRunsOrRawLogNamesInOrder) {
    Store({S(5, kIrq), S(5007, kEnter), S(1003, kTask), S(2001, kEvent), S(5, kIrq)});
    EXPECT_EQ(Open().findNames(), (std::vector<std::string>{"TaskC", "IRQ5"}));
    EXPECT_EQ(Open({.rawLog = true}).findNames(),
              (std::vector<std::string>{"IRQ5", "fnSeven", "TaskC"}));
}

GraphSample G(RecordKind kind, std::uint32_t id, std::uint32_t ticks) {
    return {.id = id, .ticks = ticks, .kind = static_cast<std::uint32_t>(kind)};
}
GraphSample Enter(std::uint32_t function, std::uint32_t ticks) {
    return G(kEnter, function, ticks);
}
GraphSample Exit(std::uint32_t function, std::uint32_t ticks) {
    return G(kExit, function, ticks);
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

struct FunctionGraphViewTest : ::testing::Test {
    FunctionGraphViewTest() {
        data.AddOrUpdateTask("TaskA", 1001, kTypeTask);
        data.AddOrUpdateTask("fnThree", 5003, kTypeFunctionEnter);
        data.AddOrUpdateTask("fnSeven", 5007, kTypeFunctionEnter);
        map.SetName(3, "Three");
        map.SetName(7, "Seven");
        map.SetName(9, "Nine");
    }
    FunctionGraphView View(const std::vector<GraphSample>& samples, bool fromStore = false,
                           double divisor = 1.0) {
        return {BuildFunctionCalls(samples),
                fromStore ? FunctionNames(data) : FunctionNames(data, map), divisor};
    }

    CPerformanceData data;
    FunctionNameMap map;
};

TEST_F(FunctionGraphViewTest, NestedCallsStackByDepthAndPositionsPassThirtyTwoBits) {
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

    // Each event is four thousand million ticks: the second call starts past 2^33.
    const std::uint32_t big = 4'000'000'000u;
    auto far = View(
        {G(kTask, 1001, 0), Enter(3, big), Exit(3, big), Enter(3, big), Exit(3, 3'000'000'000u)},
        false, 100.0);
    ASSERT_EQ(far.calls().size(), 2u);
    EXPECT_EQ(far.calls()[1].start, 12'000'000'000u);
    // Span 15e9 + 4e9 over 710 pixels: the second call is 8e9 ticks, 298.9 pixels, further on.
    EXPECT_EQ(far.CallRect(1).left, 308);
    EXPECT_EQ(far.CallRect(1).right, 420);
    EXPECT_EQ(far.Select(1), "80.0000 sec");
    EXPECT_EQ(far.FunctionDetails()[2],
              (std::pair<std::string, std::string>{"Start Pos", "120.0000 sec"}));
}

// Fit undoes zoom and scrolling; selecting a call gives the time from the call selected before.
TEST_F(FunctionGraphViewTest, FitUndoesZoomAndScrollingAndSelectionsGiveTimeDeltas) {
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

    // Calls start 20 ticks apart; the delta runs from the earlier start to the later one.
    EXPECT_EQ(view.Select(4), "80.00 uSec");
    EXPECT_EQ(view.Select(1), "60.00 uSec");
    EXPECT_EQ(view.selected(), 1u);
    EXPECT_EQ(view.Select(99), "");
    EXPECT_EQ(view.selected(), 1u);
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
