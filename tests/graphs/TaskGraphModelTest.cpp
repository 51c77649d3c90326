#include "graphs/TaskGraphModel.h"

#include "support/StoreServices.h"

#include <gtest/gtest.h>

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

TEST_F(TaskGraphModelTest, LiveShowsTheNewestTenAndNothingBeforeThereAreMore) {
    StoreRuns(7);
    TaskGraphModel model = Open({.live = true});
    EXPECT_EQ(model.sampleCount(), 0u);
    EXPECT_TRUE(model.PageBoxes().empty());
    EXPECT_EQ(model.NextRun(0), "");

    StoreRuns(8);
    model.Refresh();
    EXPECT_EQ(model.sampleCount(), kLiveSamples);
    EXPECT_EQ(model.pageCount(), 6u);
    EXPECT_EQ(model.PageBoxes()[0].text, "TaskC"); // sample 5 of 15
    EXPECT_EQ(model.NextRun(0), "4.00 uSec");
}

// Offline the graph shows the samples stored when it opened, and no more than the store holds.
TEST_F(TaskGraphModelTest, OfflineReadsOnlyWhatWasStoredAtOpening) {
    StoreRuns(3);
    TaskGraphModel model = Open();
    StoreRuns(3);
    EXPECT_EQ(model.sampleCount(), 3u);
    EXPECT_EQ(model.PageBoxes().size(), 3u);
    data.ResetStore();
    EXPECT_EQ(model.sampleCount(), 0u);
    EXPECT_TRUE(model.PageBoxes().empty());
    EXPECT_EQ(model.Select(2), "0.00 uSec");
}

TEST_F(TaskGraphModelTest, FindListsTasksWithRunsOrRawLogNamesInOrder) {
    Store({S(5, kIrq), S(5007, kEnter), S(1003, kTask), S(2001, kEvent), S(5, kIrq)});
    EXPECT_EQ(Open().findNames(), (std::vector<std::string>{"TaskC", "IRQ5"}));
    EXPECT_EQ(Open({.rawLog = true}).findNames(),
              (std::vector<std::string>{"IRQ5", "fnSeven", "TaskC"}));
}

} // namespace
} // namespace zuta::graphs
