#include "StoreJson.h"

#include "Session.h"

namespace zuta::cli {

namespace {

nlohmann::ordered_json SampleJson(const SampleRecord& s) {
    return {{"id", s.id},         {"value0", s.value0}, {"value1", s.value1}, {"value2", s.value2},
            {"value3", s.value3}, {"ticks", s.ticks},   {"kind", s.kind}};
}

} // namespace

nlohmann::ordered_json StoreToJson(Session& session) {
    using nlohmann::ordered_json;
    ordered_json out;
    const std::uint32_t cpuLoad = session.data().GetCpuLoad();
    session.data().Read([&](const StoreState& s) {
        ordered_json tasks = ordered_json::array();
        for (const auto& [id, t] : s.tasks) {
            tasks.push_back({{"name", t.name},
                             {"id", t.id},
                             {"type", t.type},
                             {"runs", t.runs},
                             {"sumValue0", t.sumValue0},
                             {"sumValue1", t.sumValue1},
                             {"sumValue2", t.sumValue2},
                             {"lastValue3", t.lastValue3},
                             {"ticks", t.ticks}});
        }
        out["tasks"] = std::move(tasks);
        ordered_json samples = ordered_json::array();
        s.samples.ForEachSpan([&](const SampleRecord* first, std::size_t count) {
            for (std::size_t i = 0; i < count; ++i)
                samples.push_back(SampleJson(first[i]));
        });
        out["samples"] = std::move(samples);
        ordered_json pending = ordered_json::array();
        for (const SampleRecord& e : s.pendingEvents)
            pending.push_back(SampleJson(e));
        out["pendingEvents"] = std::move(pending);
        out["switchCount"] = s.switchCount;
        out["userEventCount"] = s.userEventCount;
        out["functionEventCount"] = s.functionEventCount;
        out["sumValue0"] = s.sumValue0;
        out["sumValue1"] = s.sumValue1;
        out["sumValue2"] = s.sumValue2;
        out["sumTicks"] = s.sumTicks;
        out["cpuLoad"] = cpuLoad;
        out["samplingDuration"] = s.samplingDuration;
        out["idleTaskId"] = s.idleTaskId;
        out["probeWords"] = s.probeWords;
        out["tcbBlock"] = s.tcbBlock;
        out["extraWords"] = s.extraWords;
        out["skippedBytes"] = s.skippedBytes;
        out["unknownRecords"] = s.unknownRecords;
    });
    ordered_json notes = ordered_json::array();
    for (const auto& [command, code] : session.notifications().Take())
        notes.push_back({{"command", command}, {"code", code}});
    out["notifications"] = std::move(notes);
    out["rawText"] = session.output().rawText();
    ordered_json names = ordered_json::object();
    for (const auto& [number, name] : session.data().functionNames().entries())
        names[std::to_string(number)] = name;
    out["functionNames"] = std::move(names);
    return out;
}

} // namespace zuta::cli
