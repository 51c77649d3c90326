#include "graphs/FunctionCalls.h"

#include "graphs/CpuSessions.h"

#include <algorithm>
#include <unordered_map>

namespace zuta::graphs {

namespace {

constexpr std::uint32_t kNone = 0xffffffffu;

bool IsFunctionEvent(std::uint32_t kind) {
    return kind == kSampleFunctionEntry || kind == kSampleFunctionExit;
}

// Running sums over the samples, taken at each mark, so that what lies between an enter and
// the mark that closes it costs no walk over the samples in between.
struct MarkSums {
    std::uint64_t functionTicks = 0; // function events before the mark's sample
    std::uint64_t switchTicks = 0;   // task and IRQ switches before it
    std::uint32_t switches = 0;
    std::uint64_t enterTicks = 0; // enters of the mark's function up to and including it
    std::uint32_t ticks = 0;      // the mark's own
};

} // namespace

FunctionCallSet BuildFunctionCalls(std::span<const GraphSample> samples) {
    FunctionCallSet set;
    std::vector<MarkSums> sums;
    std::unordered_map<std::uint32_t, std::uint64_t> enterTotals;
    std::uint32_t depth = 0;
    std::uint32_t context = 0;
    std::uint64_t sinceOther = 0;
    std::uint64_t inCall = 0;
    MarkSums running;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const GraphSample& s = samples[i];
        if (!IsFunctionEvent(s.kind)) {
            // Unsigned on purpose: the run's ticks include the function events after it, while
            // `sinceOther` holds those after the run before; the running total never goes below
            // zero.
            set.otherTime += s.ticks - sinceOther;
            sinceOther = 0;
            // A user event is no task: the calls after it still belong to the run before it.
            if (s.kind != kSampleUserEvent) {
                context = s.id;
                running.switchTicks += s.ticks;
                ++running.switches;
            }
            continue;
        }
        const bool exit = s.kind == kSampleFunctionExit;
        if (!exit)
            ++depth;
        set.maxDepth = std::max(set.maxDepth, depth);
        const std::uint64_t position = set.functionTime + s.ticks;
        const bool dropped = exit && depth == 0;
        if (!dropped) {
            set.marks.push_back({static_cast<std::uint32_t>(i), s.id, context, s.ticks + inCall,
                                 s.kind, position, depth, position + set.otherTime});
            std::uint64_t& enters = enterTotals[s.id];
            if (!exit)
                enters += s.ticks;
            MarkSums at = running;
            at.enterTicks = enters;
            at.ticks = s.ticks;
            sums.push_back(at);
        }
        set.functionTime += s.ticks;
        sinceOther += s.ticks;
        running.functionTicks += s.ticks;
        if (dropped) {
            inCall = 0;
            continue;
        }
        if (exit)
            --depth;
        inCall = depth == 0 ? 0 : inCall + s.ticks;
    }
    if (set.marks.empty())
        return set;

    // The next mark of the same depth and function, found walking backwards.
    const std::size_t count = set.marks.size();
    std::vector<std::uint32_t> next(count, kNone);
    std::unordered_map<std::uint64_t, std::uint32_t> seen;
    for (std::size_t k = count; k-- > 0;) {
        const FunctionMark& mark = set.marks[k];
        const std::uint64_t key = (std::uint64_t{mark.depth} << 32) | mark.function;
        const auto [slot, fresh] = seen.try_emplace(key, static_cast<std::uint32_t>(k));
        if (!fresh) {
            next[k] = slot->second;
            slot->second = static_cast<std::uint32_t>(k);
        }
    }

    for (std::size_t k = 0; k < count; ++k) {
        const FunctionMark& enter = set.marks[k];
        if (enter.kind != kSampleFunctionEntry)
            continue;
        const std::size_t m = next[k] != kNone ? next[k] : count - 1;
        const FunctionMark& close = set.marks[m];
        const MarkSums& from = sums[k];
        const MarkSums& to = sums[m];
        // Every enter of the function is at or before the last mark.
        const std::uint64_t entersUpTo =
            close.function == enter.function ? to.enterTicks : enterTotals[enter.function];
        const std::uint64_t sameEnters = entersUpTo - (from.enterTicks - from.ticks);
        FunctionCall call;
        call.context = enter.context;
        call.function = enter.function;
        call.start = enter.functionPosition;
        call.end = close.functionPosition;
        call.startAbs = enter.absolutePosition;
        call.endAbs = close.absolutePosition;
        call.positionInTask = enter.positionInTask;
        call.runTime = to.functionTicks + to.ticks - from.functionTicks - sameEnters;
        call.switches = to.switches - from.switches;
        call.switchTicks = to.switchTicks - from.switchTicks;
        call.depth = enter.depth;
        call.enterIndex = enter.sampleIndex;
        call.exitIndex = close.sampleIndex;
        set.calls.push_back(call);
    }
    return set;
}

} // namespace zuta::graphs
