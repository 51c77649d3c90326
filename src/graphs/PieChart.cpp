#include "graphs/PieChart.h"

#include "engine/PerformanceData.h"
#include "host/TextNumbers.h"
#include "settings/PerformanceSettings.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zuta::graphs {

PieSlice MakePieSlice(ColorRef colour, ColorRef textColour, float percent, std::string label) {
    return PieSlice{colour, textColour, percent * 3.6f, std::move(label)};
}

Rect PieRect(const Rect& client, std::size_t sliceCount, int textHeight) {
    const int pitch = std::max(kLegendRowPitch, textHeight);
    const int bottom = client.bottom - pitch * static_cast<int>(sliceCount);
    const int side = std::max(0, std::min(client.right - client.left, bottom - client.top));
    const int left = client.left + (client.right - side - client.left) / 2;
    return Rect{left, bottom - side, left + side, bottom};
}

Point PointOnCircle(const Rect& pie, int angle, bool labelRing) {
    const int reduced = ((angle % 360) + 360) % 360;
    const double full = (pie.bottom - pie.top) / 2;
    const double radius = labelRing ? full * kLabelRing : full;
    const double cx = (pie.left + pie.right) / 2.0;
    const double cy = (pie.top + pie.bottom) / 2.0;
    const double radians = reduced * std::numbers::pi / 180.0;
    return Point{static_cast<int>(std::sin(radians) * radius + cx),
                 static_cast<int>(-std::cos(radians) * radius + cy)};
}

std::vector<Fill> SunkenEdge(const Rect& box) {
    std::vector<Fill> fills;
    const auto ring = [&fills](const Rect& r, ColorRef topLeft, ColorRef bottomRight) {
        if (r.empty())
            return;
        fills.push_back({{r.left, r.top, r.right - 1, r.top + 1}, topLeft});
        fills.push_back({{r.left, r.top, r.left + 1, r.bottom - 1}, topLeft});
        fills.push_back({{r.left, r.bottom - 1, r.right, r.bottom}, bottomRight});
        fills.push_back({{r.right - 1, r.top, r.right, r.bottom}, bottomRight});
    };
    ring(box, kEdgeShadow, kEdgeHighlight);
    ring({box.left + 1, box.top + 1, box.right - 1, box.bottom - 1}, kEdgeDarkShadow, kEdgeLight);
    return fills;
}

PiePlan PlanPie(const std::vector<PieSlice>& slices, const Rect& client, int textHeight) {
    PiePlan plan;
    plan.client = client;
    plan.pie = PieRect(client, slices.size(), textHeight);
    int angle = 0;
    int legendRow = 0;
    for (std::size_t i = 0; i < slices.size(); ++i) {
        const PieSlice& slice = slices[i];
        const int span = static_cast<int>(slice.degrees);
        const int next = angle + span;
        // A slice of the whole circle starts and ends at the same point and is drawn all round.
        const bool drawn = span >= 360 || (span > 0 && PointOnCircle(plan.pie, angle) !=
                                                           PointOnCircle(plan.pie, next));
        plan.wedges.push_back({i, angle, next, drawn});
        if (!slice.label.empty()) {
            const int top = plan.pie.bottom + legendRow * textHeight;
            const Rect square{0, top, textHeight, top + textHeight};
            plan.legend.push_back(
                {i, square, SunkenEdge(square),
                 Rect{textHeight + kLegendTextGap, top, client.right, top + textHeight}});
            ++legendRow;
        }
        if (slice.degrees > kSmallestLabelledSlice) {
            const int middle = next - static_cast<int>(slice.degrees * 0.5f);
            plan.labels.push_back({i, PointOnCircle(plan.pie, middle, true),
                                   text::FormatFixed(slice.degrees * 0.2777778, 0) + "%"});
        }
        angle = next;
    }
    return plan;
}

std::optional<Statistic> StatisticOfColumn(int column) {
    if (column < 2 || column > 6)
        return std::nullopt;
    return static_cast<Statistic>(column - 1);
}

std::string_view DistributionTitle(Statistic statistic) {
    switch (statistic) {
    case Statistic::ContextSwitches:
        return "Context Switch Distribution";
    case Statistic::Mhz:
        return "Mhz Distribution";
    case Statistic::Instructions:
        return "Instructions Execution Distribution";
    case Statistic::AccessDuration:
        return "Access Duration Distribution";
    case Statistic::AccessCount:
        return "Access Counter Distribution";
    }
    return {};
}

DistributionTotals DistributionTotals::Of(const StoreState& state) {
    return {state.switchCount, state.sumTicks, state.sumValue0, state.sumValue1, state.sumValue2};
}

double DistributionDivisor(bool externalTsMode, float armClockMhz) {
    if (externalTsMode)
        return 10000.0;
    return PerformanceSettings::IsKnownClock(armClockMhz) ? armClockMhz : 1.0;
}

float SharePercent::value() const {
    return static_cast<float>(static_cast<double>(whole) + static_cast<double>(hundredths) * 0.01);
}

SharePercent ShareOf(std::uint64_t total, std::uint64_t value) {
    SharePercent share;
    if (total == 0)
        return share;
    share.whole = value * 100 / total;
    if (total / 10000 != 0)
        share.hundredths = value * 10000 / total - share.whole * 100;
    return share;
}

std::string DistributionTimeText(std::uint64_t value, double divisor) {
    const double ticks = static_cast<double>(value);
    // Seconds keep the fraction of the last million ticks.
    if (value / 1000000 == 0)
        return text::FormatFixed(ticks / divisor, 2) + " uSec";
    return text::FormatFixed(ticks / 1000000.0 / divisor, 4) + " sec";
}

namespace {

struct StatisticFields {
    std::uint64_t DistributionTotals::*total;
    std::uint64_t TaskRecord::*value;
    bool timeText;
};

StatisticFields FieldsOf(Statistic statistic) {
    switch (statistic) {
    case Statistic::ContextSwitches:
        return {&DistributionTotals::switchCount, &TaskRecord::runs, false};
    case Statistic::Mhz:
        return {&DistributionTotals::sumTicks, &TaskRecord::ticks, true};
    case Statistic::Instructions:
        return {&DistributionTotals::sumValue0, &TaskRecord::sumValue0, false};
    case Statistic::AccessDuration:
        return {&DistributionTotals::sumValue1, &TaskRecord::sumValue1, true};
    case Statistic::AccessCount:
        break;
    }
    return {&DistributionTotals::sumValue2, &TaskRecord::sumValue2, false};
}

} // namespace

DistributionChart BuildDistribution(Statistic statistic,
                                    const std::vector<std::pair<std::string, TaskRecord>>& rows,
                                    const DistributionTotals& totals, double divisor) {
    const StatisticFields fields = FieldsOf(statistic);
    const std::uint64_t total = totals.*fields.total;
    DistributionChart chart;
    chart.title = DistributionTitle(statistic);
    TaskPalette palette;
    std::string others = "Others: ";
    bool othersNamed = false;
    // The shares are summed in hundredths of a percent, so that shares adding up to 100 leave no
    // rest through rounding.
    std::uint64_t sum = 0;
    for (const auto& [name, task] : rows) {
        const std::uint64_t value = task.*fields.value;
        if (value == 0)
            continue;
        const SharePercent share = ShareOf(total, value);
        const float percent = share.value();
        sum += share.whole * 100 + share.hundredths;
        if (share.whole == 0 && share.hundredths == 0) {
            if (othersNamed)
                others += ',';
            others += name;
            othersNamed = true;
            continue;
        }
        std::string label = text::FormatFixed(percent, 2) + "%";
        if (fields.timeText)
            label += "   " + name + "   " + DistributionTimeText(value, divisor);
        else
            label += (percent < 10.0f ? "   " : " ") + name;
        chart.slices.push_back(MakePieSlice(palette.Next(), 0, percent, std::move(label)));
    }
    if (sum < 10000) {
        const double rest = static_cast<double>(10000 - sum) * 0.01;
        chart.slices.push_back(MakePieSlice(palette.Next(), 0, static_cast<float>(rest + 0.005),
                                            text::FormatFixed(rest, 2) + "% " + others));
    }
    return chart;
}

} // namespace zuta::graphs
