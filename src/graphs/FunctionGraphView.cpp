#include "graphs/FunctionGraphView.h"

#include "engine/PerformanceData.h"
#include "engine/WireFormat.h"
#include "host/TextNumbers.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <unordered_set>

namespace zuta::graphs {

namespace {

using text::FormatFixed;
using text::FormatUnsigned;

// Zoom stays where every pixel position is still a finite number.
constexpr float kMaxZoom = 1073741824.0f; // 2^30
constexpr float kMinZoom = 1.0f / kMaxZoom;

// A pixel coordinate from a computed position, kept within what a rectangle can hold.
int Pixel(double value) {
    constexpr double kLimit = 1 << 28;
    if (std::isnan(value))
        return 0;
    return static_cast<int>(std::clamp(value, -kLimit, kLimit));
}

std::string Microseconds(double ticks, double divisor) {
    return FormatFixed(ticks / divisor, 2) + " uSec";
}

// Whole millions of ticks, as the start and the long deltas are shown in seconds.
std::string Seconds(std::uint64_t ticks, double divisor) {
    return FormatFixed(static_cast<double>(ticks / 1'000'000) / divisor, 4) + " sec";
}

// The distance between two absolute positions, whichever comes first.
std::uint64_t Distance(std::uint64_t a, std::uint64_t b) {
    return a > b ? a - b : b - a;
}

} // namespace

std::string FunctionNames::Function(std::uint32_t number) const {
    std::string name;
    if (fromStore_)
        store_.GetTaskName(number + wire::kFunctionIdBase, name);
    else
        map_.Lookup(number, name);
    return name;
}

std::string FunctionNames::Task(std::uint32_t id) const {
    std::string name;
    store_.GetTaskName(id, name);
    return name;
}

FunctionGraphView::FunctionGraphView(FunctionCallSet set, FunctionNames names, double divisor)
    : set_(std::move(set)), names_(std::move(names)), divisor_(divisor) {
    if (names_.fromStore()) {
        std::set<std::string, std::less<>> listed;
        for (const FunctionCall& call : set_.calls) {
            std::string name = names_.Function(call.function);
            if (listed.insert(name).second)
                choices_.push_back({std::move(name), call.function});
        }
    } else {
        // Only what the calls hold: a listed function without a call would never be found.
        std::unordered_set<std::uint32_t> occurring;
        for (const FunctionCall& call : set_.calls)
            occurring.insert(call.function);
        for (const auto& [number, name] : names_.map().entries())
            if (occurring.count(number) != 0)
                choices_.push_back({name, number});
    }
    for (const FunctionCall& call : set_.calls)
        latestEnd_ = std::max(latestEnd_, call.end);
    if (!set_.calls.empty())
        viewStart_ = set_.calls.front().start;
    Recompute();
}

std::uint32_t FunctionGraphView::scrollMaximum() const {
    return set_.calls.empty() ? 0 : static_cast<std::uint32_t>(set_.calls.size() - 1);
}

void FunctionGraphView::ComputeScale() {
    // The span is the latest end plus the first start, so that everything fits both from the
    // first call and from 0. The latest end, not the last call's: a call that encloses the last
    // one ends after it. An empty span still gives a scale, so every call stays at a finite place.
    std::uint64_t span = 1;
    if (!set_.calls.empty())
        span = std::max<std::uint64_t>(latestEnd_ + set_.calls.front().start, 1);
    scale_ = static_cast<float>(static_cast<double>(span) /
                                (kFunctionGraphWidth * static_cast<double>(zoom_)));
}

double FunctionGraphView::Offset(std::uint64_t position) const {
    // The full 64-bit difference: long collections place their calls as short ones do.
    const double difference = position >= viewStart_ ? static_cast<double>(position - viewStart_)
                                                     : -static_cast<double>(viewStart_ - position);
    return difference / scale_;
}

std::uint32_t FunctionGraphView::CountVisible() const {
    std::uint32_t count = 0;
    for (std::size_t i = firstVisible_; i < set_.calls.size(); ++i) {
        const FunctionCall& call = set_.calls[i];
        const double right = Offset(call.start) + static_cast<double>(call.runTime) / scale_ +
                             kFunctionGraphRect.left;
        if (Pixel(std::trunc(right)) > kFunctionGraphRect.right)
            break;
        ++count;
    }
    return count;
}

void FunctionGraphView::Recompute() {
    ComputeScale();
    visibleCount_ = CountVisible();
    if (visibleCount_ > kAutoZoomCalls) {
        const auto factor = static_cast<float>(visibleCount_ / kAutoZoomCalls);
        if (factor >= zoom_) {
            zoom_ = std::min(factor, kMaxZoom);
            ComputeScale();
            visibleCount_ = CountVisible();
        }
    }
}

void FunctionGraphView::ZoomIn() {
    zoom_ = std::min(zoom_ * 2.0f, kMaxZoom);
    Recompute();
}

void FunctionGraphView::ZoomOut() {
    zoom_ = std::max(zoom_ * 0.5f, kMinZoom);
    Recompute();
}

void FunctionGraphView::Fit() {
    viewStart_ = 0;
    zoom_ = 1.0f;
    firstVisible_ = 0;
    Recompute();
}

bool FunctionGraphView::ScrollBack() {
    return firstVisible_ > 0 && ScrollTo(firstVisible_ - 1);
}

bool FunctionGraphView::ScrollOn() {
    return ScrollTo(firstVisible_ + 1);
}

bool FunctionGraphView::ScrollTo(std::uint32_t index) {
    if (index >= set_.calls.size())
        return false;
    firstVisible_ = index;
    viewStart_ = set_.calls[index].start;
    Recompute();
    return true;
}

Rect FunctionGraphView::CallRect(std::uint32_t index) const {
    const FunctionCall& call = set_.calls[index];
    const int left = Pixel(std::trunc(Offset(call.start) + kFunctionGraphRect.left));
    const int right = Pixel(std::trunc(static_cast<double>(call.runTime) / scale_ + left));
    const int top =
        Pixel(kFunctionGraphRect.top + static_cast<double>(call.depth) * kCallRowHeight);
    return {left, top, right, top + kCallRowHeight};
}

std::optional<std::uint32_t> FunctionGraphView::HitTest(int x, int y) const {
    if (!kFunctionGraphRect.contains(x, y))
        return std::nullopt;
    const std::uint32_t end = firstVisible_ + visibleCount_;
    for (std::uint32_t i = firstVisible_; i < end; ++i) {
        Rect box = CallRect(i);
        box.right = std::max(box.right, box.left + 2);
        if (box.contains(x, y))
            return i;
    }
    return std::nullopt;
}

std::string FunctionGraphView::Select(std::uint32_t index) {
    if (index >= set_.calls.size())
        return {};
    const std::uint64_t d = Distance(set_.calls[index].startAbs, set_.calls[selected_].startAbs);
    selected_ = index;
    if (d / 1'000'000 == 0)
        return Microseconds(static_cast<double>(d), divisor_);
    return Seconds(d, divisor_);
}

std::optional<std::string> FunctionGraphView::Find(std::size_t choice) {
    if (choice >= choices_.size())
        return std::nullopt;
    const std::uint32_t function = choices_[choice].function;
    for (std::size_t i = std::size_t{selected_} + 1; i < set_.calls.size(); ++i) {
        if (set_.calls[i].function != function)
            continue;
        const std::uint64_t d = Distance(set_.calls[i].startAbs, set_.calls[selected_].startAbs);
        selected_ = static_cast<std::uint32_t>(i);
        Recompute();
        return Microseconds(static_cast<double>(d), divisor_);
    }
    return std::nullopt;
}

std::string FunctionGraphView::FunctionName(std::uint32_t function) const {
    return names_.Function(function);
}

DetailRows FunctionGraphView::FunctionDetails() const {
    if (selected_ >= set_.calls.size())
        return {};
    const FunctionCall& call = set_.calls[selected_];
    DetailRows rows;
    if (names_.fromStore())
        rows.emplace_back("Function Name", names_.Function(call.function));
    else
        rows.emplace_back("Function Id/Name",
                          text::FormatSigned(static_cast<std::int32_t>(call.function)) + "/" +
                              names_.Function(call.function));
    rows.emplace_back("Context Task", names_.Task(call.context));
    rows.emplace_back("Start Pos", Seconds(call.startAbs, divisor_));
    rows.emplace_back("Start Pos in Task",
                      Microseconds(static_cast<double>(call.positionInTask), divisor_));
    rows.emplace_back("Run Time", Microseconds(static_cast<double>(call.runTime), divisor_));
    return rows;
}

DetailRows FunctionGraphView::SessionDetails() const {
    return {{"Functions Count", FormatUnsigned(set_.calls.size())},
            {"Functions displayed", FormatUnsigned(visibleCount_)},
            {"Dispalyed From", FormatUnsigned(firstVisible_)}};
}

std::string FunctionGraphView::Tip(std::uint32_t index) const {
    if (index >= set_.calls.size())
        return {};
    const FunctionCall& call = set_.calls[index];
    return "Context Task = " + names_.Task(call.context) +
           ", Start Pos = " + Microseconds(static_cast<double>(call.startAbs), divisor_) +
           ",\n Pos = " + FormatUnsigned(std::uint64_t{index} + 1) +
           ", Run Time = " + Microseconds(static_cast<double>(call.runTime), divisor_);
}

} // namespace zuta::graphs
