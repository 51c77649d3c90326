#pragma once

#include "engine/Records.h"
#include "graphs/CpuSessions.h"
#include "graphs/FunctionCalls.h"

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>

namespace zuta::graphs {

// A task, HISR or IRQ of the store: one thread of the trace.
struct TraceThread {
    std::uint32_t id = 0;
    std::uint32_t type = kTypeTask; // kTypeTask, kTypeHisr or kTypeIrq
    std::string name;
};

// What a trace is written from; every index refers to `samples`.
struct TraceInput {
    std::span<const GraphSample> samples; // built with function events
    std::span<const TraceThread> threads;
    // Function number to name; a function without one is written as "Fn<number>".
    const std::map<std::uint32_t, std::string>* functionNames = nullptr;
    std::span<const FunctionCall> calls;  // BuildFunctionCalls of `samples`
    std::span<const CpuSession> sessions; // BuildCpuSessions of `samples`; may be empty
    double ticksPerMicrosecond = 1.0;
};

// Takes the text piece by piece; false stops the writing.
using TraceSink = std::function<bool(std::string_view)>;

// Writes the collection as a trace in the Trace Event Format (the JSON object form), walking the
// samples once: the runs and the function calls inside them as complete events on the thread of
// their task, HISR or IRQ, the user events as instants, the CPU load of each session as a counter.
// False when the sink refused a piece.
bool WriteTrace(const TraceInput& input, const TraceSink& sink);

// Appends `text` as a JSON string: quoted, escaped, and every byte that is not part of valid
// UTF-8 written as U+FFFD.
void AppendJsonString(std::string& out, std::string_view text);

} // namespace zuta::graphs
