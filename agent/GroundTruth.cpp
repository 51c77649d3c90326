#include "agent/GroundTruth.h"

#include "host/AtomicFile.h"

namespace zuta::agent {

std::uint32_t GroundTruth::CpuLoad() const {
    // Every record counts, however many there are.
    std::uint64_t idle = 0;
    std::uint64_t others = 0;
    for (auto it = tasks.rbegin(); it != tasks.rend(); ++it) {
        if (it->second.name == idleTaskName)
            idle = it->second.ticks;
        else
            others += it->second.ticks;
    }
    const std::uint64_t total = idle + others;
    if (total == 0)
        return 0;
    return static_cast<std::uint32_t>(100 - (idle * 100) / total);
}

nlohmann::json GroundTruth::ToJson() const {
    nlohmann::json tasksJson = nlohmann::json::array();
    for (const auto& [id, task] : tasks) {
        tasksJson.push_back({{"id", task.id},
                             {"name", task.name},
                             {"type", task.type},
                             {"runs", task.runs},
                             {"ticks", task.ticks},
                             {"sumValue0", task.sumValue0},
                             {"sumValue1", task.sumValue1},
                             {"sumValue2", task.sumValue2},
                             {"functionEvents", task.functionEvents}});
    }
    return {{"seed", seed},
            {"samplingMode", samplingMode},
            {"idleTaskName", idleTaskName},
            {"cpuLoad", CpuLoad()},
            {"switchCount", switchCount},
            {"userEventCount", userEventCount},
            {"functionEventCount", functionEventCount},
            {"records", records},
            {"rawBlocks", rawBlocks},
            {"payloadBytes", payloadBytes},
            {"streamBytes", streamBytes},
            {"simulatedSeconds", simulatedSeconds},
            {"tasks", tasksJson}};
}

bool GroundTruth::Save(const std::string& path, std::string& error) const {
    return host::WriteFileAtomically(path, ToJson().dump(2) + '\n', error);
}

} // namespace zuta::agent
