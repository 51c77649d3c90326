#pragma once

#include "graphs/CpuSessions.h"
#include "graphs/GradientBar.h"
#include "graphs/TaskPalette.h"

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace zuta {
class CPerformanceData;
}

namespace zuta::graphs {

// Name and value rows of the graph's two detail lists.
using DetailRows = std::vector<std::pair<std::string, std::string>>;

// One sample of the selected session drawn on the timeline strip.
struct TimelineBox {
    Rect rect;
    std::uint32_t sample = 0; // index into the sample copy
};

// How the timeline sizes its boxes: by run time (the initial mode) or all alike.
enum class TimelineMode { TimeProportional, EqualWidth };

// The boxes of `session` on a timeline of `area`: rows by task type and sample kind, boxes one
// after the other from 4 pixels right of the left edge.
std::vector<TimelineBox> TimelineBoxes(const CPerformanceData& data,
                                       std::span<const GraphSample> samples,
                                       const CpuSession& session, const Rect& area,
                                       TimelineMode mode);
// The first box under (x, y), as its sample index.
std::optional<std::uint32_t> TimelineHit(std::span<const TimelineBox> boxes, int x, int y);

// "Session Details" of session `selected`; empty without sessions.
DetailRows SessionDetails(const CpuSessionSet& set, std::uint32_t selected, double divisor);
// "Task Details" of sample `index`; the bookmark's parent task is looked up in the hits of the
// selected session.
DetailRows TaskDetails(const CPerformanceData& data, std::span<const GraphSample> samples,
                       std::uint32_t index, const CpuSessionSet& set, std::uint32_t session,
                       double divisor, bool hex, bool simpleMode);

// The tip over the chart's point of session `session`.
std::string ChartTip(const CpuSessionSet& set, std::uint32_t session, double divisor);
// The tip over a timeline box.
std::string TimelineTip(const CPerformanceData& data, const GraphSample& sample, bool hex,
                        TimelineMode mode);

// One task's share of a session, as the session pie shows it.
struct SessionShare {
    std::uint32_t id = 0;
    float percent = 0.0f;
    std::string label;
    ColorRef colour = 0;
    ColorRef textColour = 0;
};

inline constexpr ColorRef kIdleShareText = Rgb(250, 0, 4);
inline constexpr ColorRef kFoundShareText = Rgb(10, 0, 254);

// The run time of each task in `session` (identifiers ascending), with the timeline's colours;
// the idle task and the task last found are told apart by their text colour.
std::vector<SessionShare>
SessionShares(const CPerformanceData& data, std::span<const GraphSample> samples,
              const CpuSession& session, double divisor, std::uint32_t idleId,
              std::optional<std::uint32_t> foundTask, TaskColours& colours);
// The pie window's title.
std::string SessionPieTitle(std::uint32_t session, std::uint32_t cpuPercent);

} // namespace zuta::graphs
