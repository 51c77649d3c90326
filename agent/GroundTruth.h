#pragma once

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

namespace zuta::agent {

// What one task, HISR, IRQ or function should show in the module's store after a collection:
// the same rules of run building applied to the records the agent sent.
struct TruthTask {
    std::uint32_t id = 0; // store identifier
    std::string name;
    std::uint32_t type = 0; // 0 task, 1 HISR, 2 IRQ, 3 / 4 function
    std::uint64_t runs = 0;
    std::uint64_t ticks = 0;
    std::uint64_t sumValue0 = 0;
    std::uint64_t sumValue1 = 0;
    std::uint64_t sumValue2 = 0;
    // Function events counted into this task's runs.
    std::uint64_t functionEvents = 0;
};

struct GroundTruth {
    std::uint64_t seed = 0;
    std::uint32_t samplingMode = 0;
    std::string idleTaskName = "CommPM_L";
    std::map<std::uint32_t, TruthTask> tasks;
    std::uint64_t switchCount = 0;
    std::uint64_t userEventCount = 0;
    std::uint64_t functionEventCount = 0;
    std::uint64_t records = 0;
    std::uint64_t rawBlocks = 0;
    std::uint64_t payloadBytes = 0;
    std::uint64_t streamBytes = 0;
    double simulatedSeconds = 0.0;

    // CPU load in percent as the module derives it: the idle task's share of all ticks.
    std::uint32_t CpuLoad() const;
    nlohmann::json ToJson() const;
    // Writes the JSON file; false with `error` set when that failed.
    bool Save(const std::string& path, std::string& error) const;
};

} // namespace zuta::agent
