#pragma once

#include "graphs/CpuGraphModel.h"
#include "graphs/FunctionCalls.h"
#include "graphs/GradientBar.h"
#include "namemaps/FunctionNameMap.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zuta {
class CPerformanceData;
}

namespace zuta::graphs {

// Geometry of the function call graph in pixels.
inline constexpr Rect kFunctionGraphRect{10, 10, 720, 190};
inline constexpr int kFunctionGraphWidth = 710;
inline constexpr int kCallRowHeight = 12;
// More calls than this on screen zoom in by itself.
inline constexpr std::uint32_t kAutoZoomCalls = 30;
inline constexpr ColorRef kFunctionGraphBackground = Rgb(250, 250, 250);
inline constexpr ColorRef kFunctionGraphLine = Rgb(240, 240, 255);
inline constexpr ColorRef kCallHighlight = Rgb(255, 255, 255);

// Where function names come from: the store's task records (function number + 5000) for data
// imported from a raw log, else the function name map. Contexts are always named by the store.
class FunctionNames {
public:
    explicit FunctionNames(const CPerformanceData& store) : store_(store), fromStore_(true) {}
    FunctionNames(const CPerformanceData& store, FunctionNameMap map)
        : store_(store), map_(std::move(map)), fromStore_(false) {}

    bool fromStore() const { return fromStore_; }
    const FunctionNameMap& map() const { return map_; }
    std::string Function(std::uint32_t number) const;
    std::string Task(std::uint32_t id) const;

private:
    const CPerformanceData& store_;
    FunctionNameMap map_;
    bool fromStore_;
};

// An entry of the "Find" list.
struct FindChoice {
    std::string name;
    std::uint32_t function = 0;
};

// The function call graph without its window: zoom and paging over the calls, their boxes, the
// hit test, the selection with its "Time Delta", "Find" and the texts of the details and tips.
class FunctionGraphView {
public:
    // `divisor`: ticks per microsecond.
    FunctionGraphView(FunctionCallSet set, FunctionNames names, double divisor);

    const FunctionCallSet& set() const { return set_; }
    const std::vector<FunctionCall>& calls() const { return set_.calls; }
    const FunctionNames& names() const { return names_; }
    double divisor() const { return divisor_; }

    float zoom() const { return zoom_; }
    float scale() const { return scale_; }
    std::uint64_t viewStart() const { return viewStart_; }
    std::uint32_t firstVisible() const { return firstVisible_; }
    std::uint32_t visibleCount() const { return visibleCount_; }
    std::uint32_t selected() const { return selected_; }
    // The scroll bar's range is 0 .. this; its position is the first call shown.
    std::uint32_t scrollMaximum() const;

    // "+", "-" and "Fit".
    void ZoomIn();
    void ZoomOut();
    void Fit();
    // One call back or on; false when there is none.
    bool ScrollBack();
    bool ScrollOn();
    // Shows the calls from `index` on; false when there is no such call.
    bool ScrollTo(std::uint32_t index);

    // The box of call `index` as placed from the first call shown.
    Rect CallRect(std::uint32_t index) const;
    // The call shown under (x, y), searched from the first shown; a box too thin to see is hit
    // where it is painted, two pixels wide.
    std::optional<std::uint32_t> HitTest(int x, int y) const;

    // Selects call `index` and gives the "Time Delta" from the call selected before.
    std::string Select(std::uint32_t index);
    // The functions the "Find" list offers: those the calls hold, by the map's order or, with
    // names from the store, in call order.
    const std::vector<FindChoice>& findChoices() const { return choices_; }
    // Selects the next call of the function of `choice` after the selected one and gives the
    // "Time Delta"; nothing when there is none.
    std::optional<std::string> Find(std::size_t choice);

    // The name written in a call's box.
    std::string FunctionName(std::uint32_t function) const;
    DetailRows FunctionDetails() const; // of the selected call; empty without calls
    DetailRows SessionDetails() const;
    std::string Tip(std::uint32_t index) const;

private:
    void Recompute();
    void ComputeScale();
    std::uint32_t CountVisible() const;
    double Offset(std::uint64_t position) const;

    FunctionCallSet set_;
    FunctionNames names_;
    double divisor_;
    std::vector<FindChoice> choices_;
    std::uint64_t latestEnd_ = 0;
    std::uint64_t viewStart_ = 0;
    std::uint32_t selected_ = 0;
    float scale_ = 1.0f;
    float zoom_ = 1.0f;
    std::uint32_t firstVisible_ = 0;
    std::uint32_t visibleCount_ = 0;
};

} // namespace zuta::graphs
