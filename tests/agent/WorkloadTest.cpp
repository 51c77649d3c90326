#include "agent/Workload.h"

#include <gtest/gtest.h>
#include <map>
#include <vector>

namespace zuta::agent {
namespace {

std::vector<WorkloadEvent> Schedule(std::uint64_t seed, double seconds,
                                    WorkloadOptions options = {}) {
    Workload workload(seed, options);
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
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].time != b[i].time || a[i].kind != b[i].kind || a[i].number != b[i].number ||
            a[i].value != b[i].value || a[i].entity != b[i].entity)
            return false;
    return true;
}

std::size_t SwitchesIn(const std::vector<WorkloadEvent>& events, double from, double to) {
    std::size_t n = 0;
    for (const WorkloadEvent& e : events)
        n += (e.kind == EventKind::TaskSwitch || e.kind == EventKind::IrqSwitch) &&
             e.time >= from * kTicksPerSecond && e.time < to * kTicksPerSecond;
    return n;
}

TEST(Workload, SameSeedSameScheduleWhateverTheSlicing) {
    Workload whole(11);
    std::vector<WorkloadEvent> once;
    whole.Generate(kTicksPerSecond / 2, once);
    EXPECT_TRUE(SameEvents(once, Schedule(11, 0.5)));
    EXPECT_FALSE(SameEvents(once, Schedule(12, 0.5)));
}

TEST(Workload, ModemLikeScheduleWithTheIdleTaskFirst) {
    const Workload workload(3);
    const auto& entities = workload.entities();
    EXPECT_EQ(entities[static_cast<std::size_t>(workload.idleEntity())].name, "CommPM_L");
    std::map<std::string, const Entity*> byName;
    for (const Entity& e : entities) {
        if (e.kind != EntityKind::Irq) {
            EXPECT_LE(e.name.size(), 8u) << e.name; // task names travel in eight bytes
        }
        byName[e.name] = &e;
    }
    ASSERT_TRUE(byName.count("FrameInt"));
    EXPECT_EQ(byName["FrameInt"]->number, 4);
    EXPECT_EQ(byName["FrameInt"]->kind, EntityKind::Irq);
    EXPECT_EQ(byName["L1_HISR"]->kind, EntityKind::Hisr);

    const auto events = Schedule(3, 0.3);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().time, 0u);
    EXPECT_EQ(events.front().kind, EventKind::TaskSwitch);
    EXPECT_EQ(events.front().entity, workload.idleEntity());
}

TEST(Workload, FrameInterruptComesEvery4615Microseconds) {
    const auto events = Schedule(5, 1.0);
    std::vector<std::uint64_t> frames;
    for (const WorkloadEvent& e : events)
        if (e.kind == EventKind::IrqSwitch && e.number == 4)
            frames.push_back(e.time);
    ASSERT_GT(frames.size(), 200u);
    for (std::size_t i = 1; i < frames.size(); ++i) {
        // Another interrupt may be running when the frame interrupt arrives: it then waits.
        const std::uint64_t gap = frames[i] - frames[i - 1];
        EXPECT_NEAR(static_cast<double>(gap), static_cast<double>(kFramePeriod),
                    40.0 * kTicksPerMicrosecond);
    }
    const double mean = static_cast<double>(frames.back() - frames.front()) / (frames.size() - 1);
    EXPECT_NEAR(mean, static_cast<double>(kFramePeriod), 1.0 * kTicksPerMicrosecond);
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
        switch (e.kind) {
        case EventKind::TaskSwitch:
        case EventKind::IrqSwitch:
            ASSERT_NE(e.entity, running) << "a switch to whoever runs already";
            running = e.entity;
            break;
        case EventKind::FunctionEnter:
            ASSERT_EQ(e.entity, running);
            stacks[e.entity].push_back(e.number);
            ASSERT_LE(stacks[e.entity].size(), 2u);
            break;
        case EventKind::FunctionExit:
            ASSERT_EQ(e.entity, running);
            ASSERT_FALSE(stacks[e.entity].empty());
            ASSERT_EQ(stacks[e.entity].back(), e.number);
            stacks[e.entity].pop_back();
            break;
        case EventKind::UserEvent:
            ASSERT_EQ(e.entity, running);
            ++userEvents;
            break;
        }
    }
    EXPECT_GT(userEvents, 10u);
}

TEST(Workload, BurstIsFarAboveTheNominalRate) {
    WorkloadOptions options;
    options.burstStart = kTicksPerSecond / 5;
    options.burstEnd = 2 * kTicksPerSecond / 5;
    options.burstPeriod = 50 * kTicksPerMicrosecond;
    const auto nominal = Schedule(4, 0.6);
    const auto burst = Schedule(4, 0.6, options);
    const std::size_t nominalRate = SwitchesIn(nominal, 0.2, 0.4);
    const std::size_t burstRate = SwitchesIn(burst, 0.2, 0.4);
    EXPECT_GE(burstRate, 10 * nominalRate) << nominalRate << " vs " << burstRate;
    // Before the storm both schedules are the same.
    EXPECT_EQ(SwitchesIn(nominal, 0.0, 0.19), SwitchesIn(burst, 0.0, 0.19));
}

TEST(Workload, BadNameOptionNamesOneTaskWithAHyphen) {
    WorkloadOptions options;
    options.badTaskName = true;
    const Workload workload(1, options);
    std::size_t bad = 0;
    for (const Entity& e : workload.entities())
        bad += e.name.find('-') != std::string::npos;
    EXPECT_EQ(bad, 1u);
}

} // namespace
} // namespace zuta::agent
