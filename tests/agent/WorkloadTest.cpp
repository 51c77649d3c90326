#include "agent/Workload.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <tuple>
#include <vector>

namespace zuta::agent {
namespace {

std::vector<WorkloadEvent> Schedule(std::uint64_t seed, double seconds) {
    Workload workload(seed);
    std::vector<WorkloadEvent> events;
    // Generated in uneven slices: the schedule must not depend on how it is cut.
    std::uint64_t at = 0;
    const auto end = static_cast<std::uint64_t>(seconds * kTicksPerSecond);
    std::uint64_t step = 1;
    while (at < end) {
        at = std::min(end, at + step);
        step = step * 7 % 100003 + 1;
        workload.Generate(at, events);
    }
    return events;
}

bool SameEvents(const std::vector<WorkloadEvent>& a, const std::vector<WorkloadEvent>& b) {
    const auto key = [](const WorkloadEvent& e) {
        return std::tie(e.time, e.kind, e.number, e.value, e.entity);
    };
    return std::ranges::equal(a, b, {}, key, key);
}

TEST(Workload, SameSeedSameScheduleWhateverTheSlicing) {
    Workload whole(11);
    std::vector<WorkloadEvent> once;
    whole.Generate(kTicksPerSecond / 2, once);
    EXPECT_TRUE(SameEvents(once, Schedule(11, 0.5)));
    EXPECT_FALSE(SameEvents(once, Schedule(12, 0.5)));
}

TEST(Workload, EventsAreOrderedAndFunctionCallsNestPerRunner) {
    const auto events = Schedule(9, 1.0);
    std::map<int, std::vector<std::uint8_t>> stacks;
    int running = -1;
    std::uint64_t last = 0;
    std::size_t userEvents = 0;
    for (const WorkloadEvent& e : events) {
        ASSERT_GE(e.time, last);
        last = e.time;
        if (e.kind == EventKind::TaskSwitch || e.kind == EventKind::IrqSwitch) {
            ASSERT_NE(e.entity, running) << "a switch to whoever runs already";
            running = e.entity;
            continue;
        }
        ASSERT_EQ(e.entity, running);
        std::vector<std::uint8_t>& stack = stacks[e.entity];
        if (e.kind == EventKind::FunctionEnter) {
            stack.push_back(e.number);
            ASSERT_LE(stack.size(), 2u);
        } else if (e.kind == EventKind::FunctionExit) {
            ASSERT_FALSE(stack.empty());
            ASSERT_EQ(stack.back(), e.number);
            stack.pop_back();
        } else {
            ++userEvents;
        }
    }
    EXPECT_GT(userEvents, 10u);
}

} // namespace
} // namespace zuta::agent
