// Feeds arbitrary text to the budget parser. What it accepts must hold only finite limits of at
// least 0, and checking it against a small collection must name every limit once.
#include "graphs/Budget.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

bool Usable(const std::optional<double>& limit) {
    return !limit || (std::isfinite(*limit) && *limit >= 0.0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zuta::graphs;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Budget budget;
    std::string error;
    if (!ParseBudget(text, budget, error)) {
        Check(!error.empty());
        return 0;
    }
    Check(error.empty());
    std::size_t limits = 0;
    for (const auto* limit : {&budget.cpuLoadMax, &budget.sessionMaxCpu, &budget.sessionP95Cpu,
                              &budget.sessionMaxDurationUs}) {
        Check(Usable(*limit));
        limits += limit->has_value();
    }
    for (const auto& [name, task] : budget.tasks) {
        Check(Usable(task.maxShare) && Usable(task.maxRunUs) && Usable(task.maxCpi));
        limits += task.maxShare.has_value() + task.maxRunUs.has_value() + task.maxCpi.has_value();
    }
    for (const auto& [name, function] : budget.functions) {
        Check(Usable(function.maxCallUs));
        limits += function.maxCallUs.has_value();
    }

    zuta::GraphSample idle, mask;
    idle.id = 1000;
    idle.ticks = 10;
    idle.kind = 1;
    mask.id = 4;
    mask.ticks = 5;
    mask.kind = 3;
    const std::vector<zuta::GraphSample> samples = {idle, mask, idle, mask};
    CpuSessionSet sessions;
    BuildCpuSessions(samples, 4, 1000, 1.0, sessions);
    CheckInput input;
    input.samples = samples;
    input.sessions = &sessions;
    input.tasks["IDLE"] = {1000, 50.0, 1.0};
    Check(CheckBudget(budget, input).size() == limits);
    return 0;
}
