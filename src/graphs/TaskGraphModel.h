#pragma once

#include "engine/Records.h"
#include "graphs/GradientBar.h"
#include "graphs/TaskPalette.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zuta {
class CPerformanceData;
class SampleList;
} // namespace zuta

namespace zuta::graphs {

// Geometry of the task graph in pixels.
inline constexpr int kTaskBoxWidth = 90;
inline constexpr int kEventBoxWidth = 22;
inline constexpr int kBoxHeight = 16;
inline constexpr int kPageTaskStep = 90;  // what a box takes in the page walk
inline constexpr int kPageEventStep = 21; // likewise for a user event
inline constexpr int kHitTaskStep = 91;   // what a box takes in the hit test
inline constexpr int kHitEventStep = 21;
inline constexpr int kPageRightMargin = 10;
inline constexpr int kTaskRow = 4; // rows below the graph's top
inline constexpr int kHisrRow = 22;
inline constexpr int kIrqRow = 40;
inline constexpr int kFunctionRow = 58;
inline constexpr int kEventAboveBottom = 4; // a user event sits this far above its row's bottom
// Samples of the live graph, refreshed every kLiveRefreshMs.
inline constexpr std::uint32_t kLiveSamples = 10;
inline constexpr int kLiveRefreshMs = 700;
inline constexpr ColorRef kGraphBackground = Rgb(250, 250, 254);
inline constexpr ColorRef kGuideLine = Rgb(240, 240, 255);
inline constexpr ColorRef kBoxHighlight = Rgb(255, 255, 255);
inline constexpr int kGuideLines = 7;

// What the graph needs to know besides the samples.
struct TaskGraphOptions {
    bool live = false;   // a collection is running: the newest samples, refreshed
    bool rawLog = false; // the data came from an imported raw log
    bool simpleMode = false;
    bool externalTsMode = false;
    double armClockMhz = 0; // ticks per microsecond unless externalTsMode
};

// One box of the current page as it is painted.
struct TaskGraphBox {
    Rect rect;
    ColorRef colour = 0;
    std::string text;
    bool gradient = true;
    bool border = true;
    bool selected = false;
};

// The outcome of "Find".
enum class FindResult { Found, NoSamples, NotFound };

// The task graph without its window: the samples shown, the page walk, the boxes of a page, the
// hit test, the details of a sample, the time measurements and the navigation. Offline it reads
// the store's sample list in place (the samples stored when it opened), so opening costs nothing
// per sample; live it keeps a copy of the newest samples, refreshed by Refresh.
class TaskGraphModel {
public:
    // `taskNames`: the names the "Find Task" list offers (those of tasks with runs), unless the
    // data came from a raw log, which lists the names in the order the samples first show them.
    TaskGraphModel(const CPerformanceData& store, const TaskGraphOptions& options,
                   const std::vector<std::string>& taskNames);

    const TaskGraphOptions& options() const { return options_; }

    // The graph's rectangle; the current page is walked again.
    void SetGraphRect(const Rect& graph);

    // Live: fetches the newest samples again and walks the page.
    void Refresh();

    // Samples shown (offline: those stored when the graph opened).
    std::size_t sampleCount() const;
    bool empty() const { return sampleCount() == 0; }
    std::size_t first() const { return first_; }
    std::size_t pageCount() const { return pageCount_; }
    std::size_t selected() const { return selected_; } // index within the page
    std::size_t scrollPosition() const { return position_; }
    std::size_t scrollMaximum() const { return scrollMax_; }
    // "Tasks Displayed:": "%u - %u", empty when the page holds nothing.
    std::string RangeText() const;
    const std::vector<std::string>& findNames() const { return findNames_; }

    // The boxes of the page in painting order; a task painted for the first time takes its colour.
    std::vector<TaskGraphBox> PageBoxes();
    // The box under a point of the graph, or -1.
    int HitTest(int x, int y) const;
    // The text painted in a box of the page.
    std::string BoxText(std::size_t box) const;
    // Rows "Name", "Value" of the details list for a sample.
    std::vector<std::pair<std::string, std::string>> Details(std::size_t index) const;
    std::vector<std::pair<std::string, std::string>> SelectedDetails() const;
    // "%.2f uSec" of a tick count.
    std::string MicrosecondsText(std::uint64_t ticks) const;

    // Left click on box k: selects it and returns the "Time Delta" text.
    std::string Select(std::size_t box);
    // Right click on box k: the next run of its task becomes the selection (page changed as
    // needed); the "Time Delta" text, or empty when there is no further run.
    std::string NextRun(std::size_t box);
    // "Find" of a name from the list; `timeDelta` set when found.
    FindResult Find(const std::string& name, std::string& timeDelta);

    void ShowFirstPage();
    void ShowLastPage();
    void ScrollLeft();
    void ScrollRight();
    void ScrollTo(std::size_t position);

private:
    struct Samples;
    template <class F> decltype(auto) WithSamples(F&& f) const;

    void ComputePage();
    void ShowPageAt(std::size_t first);
    // Makes `index` the selected sample on a page that holds it.
    void SelectSample(std::size_t index);
    std::string BoxTextOf(const GraphSample& sample, const Samples& samples) const;
    int RowOf(const GraphSample& sample, const Samples& samples);
    std::uint64_t TicksBetween(std::size_t from, std::size_t to) const; // (from, to)
    void BuildFindNames(const std::vector<std::string>& taskNames);

    const CPerformanceData& store_;
    TaskGraphOptions options_;
    std::size_t stored_ = 0;          // offline: samples stored when the graph opened
    std::vector<GraphSample> recent_; // live: the newest samples
    Rect graph_;
    std::size_t first_ = 0;
    std::size_t pageCount_ = 0;
    std::size_t selected_ = 0;
    std::size_t position_ = 0;
    std::size_t scrollMax_ = 0;
    std::map<std::uint32_t, int> rows_; // task to its row, below the graph's top
    TaskColours colours_;
    std::vector<std::string> findNames_;
};

} // namespace zuta::graphs
