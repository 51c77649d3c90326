#pragma once

#include "engine/Records.h"

#include <cstdint>
#include <span>
#include <vector>

namespace zuta::graphs {

// One function enter or exit kept by the first pass over the graph samples.
struct FunctionMark {
    std::uint32_t sampleIndex = 0;
    std::uint32_t function = 0;
    std::uint32_t context = 0;          // the task or IRQ that ran when it came
    std::uint64_t positionInTask = 0;   // its ticks plus the ticks spent inside open calls
    std::uint32_t kind = 0;             // kSampleFunctionEntry or kSampleFunctionExit
    std::uint64_t functionPosition = 0; // time spent in functions up to and including it
    std::uint32_t depth = 0;            // nesting depth of the call it opens or closes
    std::uint64_t absolutePosition = 0; // functionPosition plus the time outside functions

    bool operator==(const FunctionMark&) const = default;
};

// One enter with the mark that closes it.
struct FunctionCall {
    std::uint32_t context = 0;
    std::uint32_t function = 0;
    std::uint64_t start = 0; // function positions of the two marks
    std::uint64_t end = 0;
    std::uint64_t startAbs = 0; // absolute positions of the two marks
    std::uint64_t endAbs = 0;
    std::uint64_t positionInTask = 0;
    // Ticks of the function events inside the call, the enters of the same function left out.
    std::uint64_t runTime = 0;
    std::uint32_t switches = 0; // task and IRQ switches inside the call
    std::uint64_t switchTicks = 0;
    std::uint32_t depth = 0;
    std::uint32_t enterIndex = 0; // sample indices of the two marks
    std::uint32_t exitIndex = 0;

    bool operator==(const FunctionCall&) const = default;
};

struct FunctionCallSet {
    std::vector<FunctionMark> marks;
    std::vector<FunctionCall> calls;
    std::uint64_t otherTime = 0;
    std::uint64_t functionTime = 0;
    std::uint32_t maxDepth = 0;
};

// The calls of `samples` (built with function events). An exit with no open call is dropped; an
// enter that nothing closes is closed by the last mark.
FunctionCallSet BuildFunctionCalls(std::span<const GraphSample> samples);

} // namespace zuta::graphs
