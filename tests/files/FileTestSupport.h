#pragma once

#include "support/StoreServices.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zuta::test {

inline std::string DataFile(const std::string& name) {
    return std::string(ZUTA_TEST_DATA_DIR) + "/files/" + name;
}

// A store wired as the view wires it, filled directly or from files, with what it reports
// recorded.
struct StoreFixture : StoreServices {
    StoreFixture() { Connect(data, sink); }

    std::vector<SampleRecord> Samples() const { return AllSamples(data); }
    std::vector<TaskRecord> Tasks() const {
        return data.Read([](const StoreState& s) {
            std::vector<TaskRecord> out;
            for (const auto& [id, task] : s.tasks)
                out.push_back(task);
            return out;
        });
    }
    TaskRecord Task(std::uint32_t id) const { return TaskOf(data, id); }
    template <class F> void Fill(F&& f) { data.Write(std::forward<F>(f)); }

    RecordingSink sink;
    CPerformanceData data;
};

inline SampleRecord Sample(std::uint32_t id, std::uint32_t kind, std::uint32_t ticks,
                           std::uint32_t v0, std::uint32_t v1, std::uint32_t v2, std::uint32_t v3) {
    return SampleRecord{id, v0, v1, v2, v3, ticks, kind};
}

} // namespace zuta::test
