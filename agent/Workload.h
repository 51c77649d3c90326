#pragma once

#include <cstdint>
#include <queue>
#include <string>
#include <vector>

namespace zuta::agent {

// Simulated time runs in ticks of 48 MHz: four per tick of the target's 12 MHz timestamp counter.
inline constexpr std::uint64_t kTicksPerSecond = 48000000;
inline constexpr std::uint64_t kTicksPerMicrosecond = 48;
// The frame interrupt of the air interface: every 4.615 ms.
inline constexpr std::uint64_t kFramePeriod = 221520;

enum class EntityKind { Task, Hisr, Irq };

// Something the kernel runs: a task or HISR (by task number) or an IRQ (by IRQ number).
struct Entity {
    std::string name;
    std::uint8_t number = 0;
    EntityKind kind = EntityKind::Task;
    std::uint32_t priority = 0;    // tasks: higher runs first
    std::uint32_t ipcPermille = 0; // instructions per cycle, in thousandths
    std::uint32_t memPermille = 0; // share of cycles spent on the APDC memory range
};

enum class EventKind { TaskSwitch, IrqSwitch, FunctionEnter, FunctionExit, UserEvent };

struct WorkloadEvent {
    std::uint64_t time = 0; // 48 MHz ticks since the start
    EventKind kind = EventKind::TaskSwitch;
    std::uint8_t number = 0; // task, IRQ, function or user-event number
    std::uint32_t value = 0; // user events: their value
    int entity = -1;         // switches: who runs from now on; other events: who is running
};

struct WorkloadOptions {
    // An interrupt storm of IRQ 37 every `burstPeriod` ticks during [burstStart, burstEnd).
    std::uint64_t burstStart = 0;
    std::uint64_t burstEnd = 0;
    std::uint64_t burstPeriod = 4800;
    // A task named with a character the target should never use.
    bool badTaskName = false;
    // The layer-1 task also calls functions 13 to 255 in turn, four a job, so that a collection
    // holds more than 200 task records.
    bool manyFunctions = false;
};

// A modem-like schedule, the same for the same seed: the frame interrupt wakes the layer-1 HISR
// and task, timers and the DSP interrupt wake their HISRs and protocol tasks, the idle task
// "CommPM_L" runs whenever nothing else does. Tasks call nested functions and raise user events.
class Workload {
public:
    explicit Workload(std::uint64_t seed, WorkloadOptions options = {});

    const std::vector<Entity>& entities() const { return entities_; }
    int idleEntity() const { return idle_; }
    // Appends every event before `until`, in time order, and advances the schedule to `until`.
    void Generate(std::uint64_t until, std::vector<WorkloadEvent>& out);
    std::uint64_t now() const { return now_; }
    // A random number of the workload's own sequence (for values that go with its events).
    std::uint64_t Next();
    // The data of the next raw data block the target sends: short ones and, every second time,
    // one that spans many data-link blocks, up to the longest a receiver takes (the second block
    // is exactly that long).
    std::vector<std::uint8_t> NextRawBlock();

private:
    struct ScriptItem {
        std::uint64_t at = 0; // work offset at which it happens
        EventKind kind = EventKind::FunctionEnter;
        std::uint8_t number = 0;
        std::uint32_t value = 0;
    };
    struct State {
        std::uint64_t workDone = 0;
        std::uint64_t workTotal = 0;
        std::vector<ScriptItem> script; // in order of `at`
        std::size_t nextItem = 0;
        std::uint32_t jobs = 0;
        bool ready() const { return workDone < workTotal; }
    };
    struct Arrival {
        std::uint64_t time = 0;
        int entity = 0;
        bool operator>(const Arrival& other) const {
            return time != other.time ? time > other.time : entity > other.entity;
        }
    };

    int Add(Entity entity);
    std::uint64_t Uniform(std::uint64_t low, std::uint64_t high);
    bool Chance(std::uint32_t permille);
    void AddJob(int entity, std::uint64_t work);
    void ScheduleNext(int irq, std::uint64_t after);
    void Complete(int entity);
    int Pick() const;

    std::uint64_t rng_;
    WorkloadOptions options_;
    std::vector<Entity> entities_;
    std::vector<State> states_;
    std::priority_queue<Arrival, std::vector<Arrival>, std::greater<>> arrivals_;
    std::vector<int> pendingIrqs_;
    std::vector<int> hisrQueue_;
    std::uint64_t now_ = 0;
    int current_ = -1;
    int runningIrq_ = -1;
    int idle_ = 0;
    std::uint32_t userEventSeq_ = 0;
    std::uint32_t wideFunction_ = 0;
    std::uint32_t rawBlocks_ = 0;

    // Entity indices of the named parts of the schedule.
    int l1Task_ = 0, rrTask_ = 0, mmTask_ = 0, ccTask_ = 0, smsTask_ = 0, uartTask_ = 0,
        dspTask_ = 0;
    int l1Hisr_ = 0, tmrHisr_ = 0, dspHisr_ = 0, gsmHisr_ = 0;
    int frameIrq_ = 0, timerIrq_ = 0, dspIrq_ = 0, gsmIrq_ = 0;
    std::uint32_t timerTicks_ = 0;
};

} // namespace zuta::agent
