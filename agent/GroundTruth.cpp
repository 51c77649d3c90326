#include "agent/GroundTruth.h"

#include <fstream>

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

GroundTruth GroundTruth::FromJson(const nlohmann::json& json) {
    GroundTruth truth;
    truth.seed = json.value("seed", std::uint64_t{0});
    truth.samplingMode = json.value("samplingMode", 0u);
    truth.idleTaskName = json.value("idleTaskName", std::string("CommPM_L"));
    truth.switchCount = json.value("switchCount", std::uint64_t{0});
    truth.userEventCount = json.value("userEventCount", std::uint64_t{0});
    truth.functionEventCount = json.value("functionEventCount", std::uint64_t{0});
    truth.records = json.value("records", std::uint64_t{0});
    truth.rawBlocks = json.value("rawBlocks", std::uint64_t{0});
    truth.payloadBytes = json.value("payloadBytes", std::uint64_t{0});
    truth.streamBytes = json.value("streamBytes", std::uint64_t{0});
    truth.simulatedSeconds = json.value("simulatedSeconds", 0.0);
    if (json.contains("tasks") && json["tasks"].is_array()) {
        for (const nlohmann::json& item : json["tasks"]) {
            TruthTask task;
            task.id = item.value("id", 0u);
            task.name = item.value("name", std::string());
            task.type = item.value("type", 0u);
            task.runs = item.value("runs", std::uint64_t{0});
            task.ticks = item.value("ticks", std::uint64_t{0});
            task.sumValue0 = item.value("sumValue0", std::uint64_t{0});
            task.sumValue1 = item.value("sumValue1", std::uint64_t{0});
            task.sumValue2 = item.value("sumValue2", std::uint64_t{0});
            task.functionEvents = item.value("functionEvents", std::uint64_t{0});
            truth.tasks[task.id] = task;
        }
    }
    return truth;
}

bool GroundTruth::Save(const std::string& path, std::string& error) const {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        error = "cannot write " + path;
        return false;
    }
    file << ToJson().dump(2) << '\n';
    file.close();
    if (!file) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

} // namespace zuta::agent
