#pragma once

#include "engine/Records.h"
#include "graphs/CpuSessions.h"
#include "graphs/FunctionCalls.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zuta::graphs {

// The 1-based rank of the `percent` percentile among `count` values in ascending order, by the
// nearest-rank method: ceil(percent / 100 × count), at least 1. 0 when there is no value.
std::size_t NearestRank(std::size_t count, double percent);

// How the CPU load spreads over the sessions, each figure a load some session had (nearest
// rank; the median is the 50th percentile, the lower middle value of an even count).
struct LoadDistribution {
    std::size_t count = 0; // the figures are 0 when there is no session
    std::uint32_t min = 0;
    std::uint32_t median = 0;
    std::uint32_t p95 = 0;
    std::uint32_t max = 0;
};

LoadDistribution SessionLoads(const CpuSessionSet& set);

struct TaskLimits {
    std::optional<double> maxShare; // % of all run time
    std::optional<double> maxRunUs; // longest single run
    std::optional<double> maxCpi;
};

struct FunctionLimits {
    std::optional<double> maxCallUs; // longest single call
};

// What a collection must keep to: the limits of a budget file. Absent limits are not checked.
struct Budget {
    std::optional<double> cpuLoadMax;
    std::string sessionMask; // empty: the CPU graph's own choice
    std::optional<double> sessionMaxCpu;
    std::optional<double> sessionP95Cpu;
    std::optional<double> sessionMaxDurationUs;
    std::vector<std::pair<std::string, TaskLimits>> tasks; // in the file's order
    std::vector<std::pair<std::string, FunctionLimits>> functions;

    bool LimitsSessions() const;
};

// Reads a budget file. False with `error` saying what and where ("tasks.L1_Task: unknown key
// 'maxRun'") when the text is not JSON, a part is not an object, a limit is not a finite number
// of at least 0, the mask is not a name, or a key is unknown or repeated.
bool ParseBudget(std::string_view text, Budget& budget, std::string& error);

// Where a limit was broken: the sample (index into the graph samples) and when it started.
struct BreachPlace {
    std::optional<std::uint32_t> session; // none: after the last session
    std::uint32_t sample = 0;
    double seconds = 0.0; // run time of all runs before it
};

struct Breach {
    double value = 0.0;
    std::optional<BreachPlace> place; // none: a figure of the whole collection
};

enum class Verdict { Held, Broken };

// The outcome of one limit.
struct LimitCheck {
    std::string name; // "cpuLoad.max", "sessions.p95Cpu", "tasks.L1_Task.maxRunUs"
    double limit = 0.0;
    Verdict verdict = Verdict::Held;
    std::optional<double> value; // the figure compared, for per-run limits the largest
    std::string note;            // why it broke without a figure
    std::size_t breachCount = 0;
    std::vector<Breach> breaches; // the worst first, at most kListedBreaches
};

inline constexpr std::size_t kListedBreaches = 10;

// A task of the collection, by name, with the task table's figures.
struct TaskFacts {
    std::uint32_t id = 0;
    double share = 0.0;
    double cpi = 0.0;
};

struct CheckInput {
    std::span<const GraphSample> samples; // built without function events
    double ticksPerMicrosecond = 1.0;
    std::uint32_t cpuLoad = 0;
    const CpuSessionSet* sessions = nullptr; // needed when the budget limits sessions
    std::map<std::string, TaskFacts> tasks;
    // For function limits: the calls, the samples they were built from (with function events),
    // and the functions' numbers by name. A call is placed at the run it was made in.
    const FunctionCallSet* calls = nullptr;
    std::span<const GraphSample> callSamples;
    std::map<std::string, std::uint32_t> functions;
};

// Checks every limit of `budget`: cpuLoad, sessions, then tasks and functions in the file's order.
// A limit holds when its figure is at most the limit. A task or function the collection does not
// know, and session limits without any session, break their limits.
std::vector<LimitCheck> CheckBudget(const Budget& budget, const CheckInput& input);

} // namespace zuta::graphs
