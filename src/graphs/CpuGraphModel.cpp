#include "graphs/CpuGraphModel.h"

#include "engine/PerformanceData.h"
#include "host/TextNumbers.h"

#include <algorithm>

namespace zuta::graphs {

namespace {

using text::FormatFixed;
using text::FormatUnsigned;

std::string NameOf(const CPerformanceData& data, std::uint32_t id) {
    std::string name;
    data.GetTaskName(id, name);
    return name;
}

// "%d" of a word taken as signed.
std::string Signed(std::uint32_t value) {
    return text::FormatSigned(static_cast<std::int32_t>(value));
}

std::string Identifier(std::uint32_t value, bool hex) {
    return hex ? "0x" + text::FormatHex(value) : Signed(value);
}

std::string Microseconds(std::uint32_t ticks, double divisor) {
    return FormatFixed(ticks / divisor, 2) + " uSec";
}

std::string Ratio(std::uint32_t numerator, std::uint32_t denominator) {
    return FormatFixed(denominator == 0 ? 0.0 : static_cast<double>(numerator) / denominator, 2);
}

struct Row {
    int top;
    int bottom;
};

} // namespace

std::vector<TimelineBox> TimelineBoxes(const CPerformanceData& data,
                                       std::span<const GraphSample> samples,
                                       const CpuSession& session, const Rect& area,
                                       TimelineMode mode) {
    std::vector<TimelineBox> boxes;
    const std::size_t end = std::min<std::size_t>(session.endSample, samples.size());
    if (session.firstSample >= end)
        return boxes;
    const double width = area.width();
    const double equalWidth = width / static_cast<double>(end - session.firstSample);
    Row row{area.top + 4, area.top + 14};
    int x = area.left + 4;
    boxes.reserve(end - session.firstSample);
    for (std::size_t i = session.firstSample; i < end; ++i) {
        const GraphSample& s = samples[i];
        if (s.kind == kSampleFunctionEntry || s.kind == kSampleFunctionExit)
            continue;
        const std::uint32_t type = data.GetTaskType(s.id);
        if (type == 0)
            row = {area.top + 4, area.top + 14};
        else if (type == 1)
            row = {area.top + 14, area.top + 24};
        else if (s.kind == kSampleInterrupt)
            row = {area.top + 24, area.top + 34};
        else if (s.kind == kSampleUserEvent)
            row = {area.top + 34, area.top + 44};
        double w = 0.0;
        if (mode == TimelineMode::EqualWidth)
            w = s.kind == kSampleUserEvent ? equalWidth / 2 : equalWidth;
        else
            w = std::max(1.0, session.totalTicks == 0
                                  ? 1.0
                                  : static_cast<double>(s.ticks) / session.totalTicks * width);
        const Rect rect{x, row.top, x + static_cast<int>(w), row.bottom};
        boxes.push_back({rect, static_cast<std::uint32_t>(i)});
        x = rect.right;
    }
    return boxes;
}

std::optional<std::uint32_t> TimelineHit(std::span<const TimelineBox> boxes, int x, int y) {
    for (const TimelineBox& box : boxes)
        if (box.rect.contains(x, y))
            return box.sample;
    return std::nullopt;
}

DetailRows SessionDetails(const CpuSessionSet& set, std::uint32_t selected, double divisor) {
    if (selected >= set.sessions.size())
        return {};
    const CpuSession& s = set.sessions[selected];
    return {
        {"Count of Sessions", FormatUnsigned(set.sessions.size())},
        {"Session Position", FormatUnsigned(selected)},
        {"CPU usage", FormatUnsigned(s.cpuPercent) + " %"},
        {"Switches count", Signed(s.endSample - s.firstSample)},
        {"Session duration", Microseconds(s.totalTicks, divisor)},
        {"Max CPU/Session",
         FormatUnsigned(set.max.cpuPercent) + "% / " + FormatUnsigned(set.max.session)},
        {"Min CPU/Session",
         FormatUnsigned(set.min.cpuPercent) + "% / " + FormatUnsigned(set.min.session)},
    };
}

DetailRows TaskDetails(const CPerformanceData& data, std::span<const GraphSample> samples,
                       std::uint32_t index, const CpuSessionSet& set, std::uint32_t session,
                       double divisor, bool hex, bool simpleMode) {
    if (index >= samples.size())
        return {};
    const GraphSample& s = samples[index];
    const std::string name = NameOf(data, s.id);
    DetailRows rows;
    if (s.kind == kSampleUserEvent) {
        std::string parent;
        if (const auto hits = set.bookmarks.find(session); hits != set.bookmarks.end()) {
            const auto hit = std::find_if(hits->second.begin(), hits->second.end(),
                                          [&s](const BookmarkHit& h) { return h.id == s.id; });
            if (hit != hits->second.end())
                parent = NameOf(data, hit->parentTask);
        }
        rows = {{"Book Mark ID", Identifier(s.id, hex)},
                {"Book Mark Data", Identifier(s.value0, hex)},
                {"Parent Task", parent}};
        return rows;
    }
    if (s.kind == kSampleInterrupt)
        rows.emplace_back("IRQ Name/Number", name + "/" + Signed(s.id));
    else
        rows.emplace_back(data.GetTaskType(s.id) == 1 ? "HISR Name" : "Task Name", name);
    rows.emplace_back("Run time", Microseconds(s.ticks, divisor));
    if (!simpleMode) {
        rows.emplace_back("I-cache Miss Rate", Ratio(s.value2, s.value0));
        rows.emplace_back("CPI", Ratio(s.ticks, s.value0));
        rows.emplace_back("Instruction count", FormatUnsigned(s.value0));
        rows.emplace_back("Access Duration", FormatUnsigned(s.value1));
        rows.emplace_back("Access Counter", FormatUnsigned(s.value2));
    }
    return rows;
}

std::string ChartTip(const CpuSessionSet& set, std::uint32_t session, double divisor) {
    if (session >= set.sessions.size())
        return {};
    // Summed in single precision, as the chart always showed it.
    float start = 0.0f;
    for (std::uint32_t n = 0; n < session; ++n)
        start += static_cast<float>(set.sessions[n].totalTicks / divisor * 0.000001);
    return "CPU=" + FormatUnsigned(set.sessions[session].cpuPercent) +
           "%, Time=" + FormatFixed(start, 4) + " sec, Position=" + FormatUnsigned(session);
}

std::string TimelineTip(const CPerformanceData& data, const GraphSample& sample, bool hex,
                        TimelineMode mode) {
    std::string name = NameOf(data, sample.id);
    if (name.empty())
        return "BookMark: " + Identifier(sample.id, hex);
    if (mode == TimelineMode::EqualWidth) {
        const std::uint32_t type = data.GetTaskType(sample.id);
        name += type == 0 ? " Task" : type == 1 ? " HISR" : " LISR";
    }
    return name;
}

std::vector<SessionShare>
SessionShares(const CPerformanceData& data, std::span<const GraphSample> samples,
              const CpuSession& session, double divisor, std::uint32_t idleId,
              std::optional<std::uint32_t> foundTask, TaskColours& colours) {
    std::map<std::uint32_t, std::uint64_t> ticks;
    const std::size_t end = std::min<std::size_t>(session.endSample, samples.size());
    for (std::size_t i = session.firstSample; i < end; ++i) {
        const GraphSample& s = samples[i];
        if (s.kind == kSampleUserEvent || s.kind == kSampleFunctionEntry ||
            s.kind == kSampleFunctionExit)
            continue;
        ticks[s.id] += s.ticks;
    }
    std::vector<SessionShare> shares;
    for (const auto& [id, taskTicks] : ticks) {
        SessionShare share;
        share.id = id;
        share.percent =
            session.totalTicks == 0
                ? 0.0f
                : static_cast<float>(static_cast<double>(taskTicks) / session.totalTicks * 100.0);
        share.label = FormatFixed(share.percent, 2) + (share.percent < 10.0f ? "%   / " : "% / ") +
                      NameOf(data, id) + " (" +
                      FormatFixed(static_cast<double>(taskTicks) / divisor, 2) + " uSec)";
        share.colour = colours.ColourOf(id);
        share.textColour = id == idleId                    ? kIdleShareText
                           : foundTask && *foundTask == id ? kFoundShareText
                                                           : 0;
        shares.push_back(std::move(share));
    }
    return shares;
}

std::string SessionPieTitle(std::uint32_t session, std::uint32_t cpuPercent) {
    return "Session Pos #" + FormatUnsigned(session) + ", CPU " + FormatUnsigned(cpuPercent) + " %";
}

} // namespace zuta::graphs
