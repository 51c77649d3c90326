#pragma once

#include "engine/Records.h"
#include "graphs/GradientBar.h"
#include "graphs/TaskPalette.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zuta {
struct StoreState;
}

namespace zuta::graphs {

inline constexpr ColorRef kPieClientColour = Rgb(250, 250, 254);
// Shows through wherever the wedges leave the circle uncovered.
inline constexpr ColorRef kPieCircleColour = Rgb(0, 0, 255);
inline constexpr ColorRef kPieOutlineColour = Rgb(0, 0, 0);
// The colours of a sunken edge: outer top-left, outer bottom-right, inner top-left, inner
// bottom-right.
inline constexpr ColorRef kEdgeShadow = Rgb(160, 160, 160);
inline constexpr ColorRef kEdgeHighlight = Rgb(255, 255, 255);
inline constexpr ColorRef kEdgeDarkShadow = Rgb(105, 105, 105);
inline constexpr ColorRef kEdgeLight = Rgb(227, 227, 227);
// The legend keeps this many pixels per slice below the pie.
inline constexpr int kLegendRowPitch = 15;
inline constexpr int kLegendTextGap = 3;
// Percentages sit on a ring at this share of the radius.
inline constexpr double kLabelRing = 0.6;
// Slices of this many degrees or fewer get no percentage.
inline constexpr float kSmallestLabelledSlice = 2.0f;

struct PieSlice {
    ColorRef colour = 0;
    ColorRef textColour = 0; // legend text and percentage
    float degrees = 0;       // the value in percent × 3.6
    std::string label;       // empty: no legend row
};

PieSlice MakePieSlice(ColorRef colour, ColorRef textColour, float percent, std::string label);

// The pie's square: centred across the client area, standing on the legend's space at the bottom.
// Each slice keeps max(kLegendRowPitch, textHeight) pixels for the legend.
Rect PieRect(const Rect& client, std::size_t sliceCount, int textHeight);

// The point at `angle` degrees (0 at twelve o'clock, growing clockwise) on the pie's circle, or on
// the ring of the percentages.
Point PointOnCircle(const Rect& pie, int angle, bool labelRing = false);

// One slice's wedge, clockwise from startAngle to endAngle in whole degrees.
struct PieWedge {
    std::size_t slice = 0;
    int startAngle = 0;
    int endAngle = 0;
    bool drawn = false; // not drawn when it is too thin to reach another point of the circle
};

struct LegendRow {
    std::size_t slice = 0;
    Rect square;            // filled with the slice's colour, framed with a sunken edge
    std::vector<Fill> edge; // the sunken edge, in painting order
    Rect text;              // the label, from the top-left corner, clipped to the client area
};

struct PercentLabel {
    std::size_t slice = 0;
    Point centre;
    std::string text; // "%.0f%%"
};

// Everything a pie chart paints, in painting order.
struct PiePlan {
    Rect client;
    Rect pie;
    std::vector<PieWedge> wedges;
    std::vector<LegendRow> legend;
    std::vector<PercentLabel> labels;
};

// `textHeight`: the height of a line of the chart's font, which is a legend row's height.
PiePlan PlanPie(const std::vector<PieSlice>& slices, const Rect& client, int textHeight);

// The two-pixel sunken edge inside `box`.
std::vector<Fill> SunkenEdge(const Rect& box);

// The statistics a double click on the task table charts, by the column's statistic index.
enum class Statistic {
    ContextSwitches = 1,
    Mhz = 2,
    Instructions = 3,
    AccessDuration = 4,
    AccessCount = 5,
};

// The statistic of a task table column: the two columns of name and identifier come first.
std::optional<Statistic> StatisticOfColumn(int column);
std::string_view DistributionTitle(Statistic statistic);

// The run-wide totals the shares are taken of.
struct DistributionTotals {
    std::uint64_t switchCount = 0;
    std::uint64_t sumTicks = 0;
    std::uint64_t sumValue0 = 0;
    std::uint64_t sumValue1 = 0;
    std::uint64_t sumValue2 = 0;

    static DistributionTotals Of(const StoreState& state);
};

// What the time texts are divided by: the external time stamps' 10000 units per microsecond,
// else the core clock in MHz, 1.0 when the clock is unknown.
double DistributionDivisor(bool externalTsMode, float armClockMhz);

// A share in percent with two decimals, in 64-bit integers: the hundredths only when the total
// is at least 10000.
struct SharePercent {
    std::uint64_t whole = 0;
    std::uint64_t hundredths = 0;

    float value() const;
};
SharePercent ShareOf(std::uint64_t total, std::uint64_t value);

// "%.2f uSec" of ticks under a million, else "%.4f sec".
std::string DistributionTimeText(std::uint64_t value, double divisor);

struct DistributionChart {
    std::string title;
    std::vector<PieSlice> slices;
};

// The chart of one statistic over the task table's rows (row name and the task its identifier
// names, in table order): a slice for each task with a share of at least one hundredth of a
// percent, and one slice for the rest, labelled with the names of the tasks too small to show.
DistributionChart BuildDistribution(Statistic statistic,
                                    const std::vector<std::pair<std::string, TaskRecord>>& rows,
                                    const DistributionTotals& totals, double divisor);

} // namespace zuta::graphs
