#include "agent/Workload.h"

#include "engine/WireFormat.h"

#include <algorithm>

namespace zuta::agent {

namespace {

constexpr std::uint64_t kUs = kTicksPerMicrosecond;
constexpr std::uint64_t kTimerPeriod = 10000 * kUs;
// The idle task never runs out of work.
constexpr std::uint64_t kEndlessWork = std::uint64_t{1} << 62;
// The functions the layer-1 task calls besides its own with WorkloadOptions::manyFunctions.
constexpr std::uint32_t kFirstWideFunction = 13;
constexpr std::uint32_t kWideFunctions = 256 - kFirstWideFunction;
constexpr std::size_t kWideCallsPerJob = 4;

} // namespace

Workload::Workload(std::uint64_t seed, WorkloadOptions options)
    : rng_(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull), options_(options) {
    idle_ = Add({"CommPM_L", 0, EntityKind::Task, 0, 950, 20});
    l1Task_ = Add({"L1_Task", 1, EntityKind::Task, 90, 620, 300});
    rrTask_ =
        Add({options_.badTaskName ? "RR-Task" : "RR_Task", 2, EntityKind::Task, 70, 540, 180});
    mmTask_ = Add({"MM_Task", 3, EntityKind::Task, 60, 500, 150});
    ccTask_ = Add({"CC_Task", 4, EntityKind::Task, 55, 480, 120});
    smsTask_ = Add({"SMS_Task", 5, EntityKind::Task, 40, 450, 100});
    uartTask_ = Add({"UART_Tx", 6, EntityKind::Task, 30, 400, 60});
    dspTask_ = Add({"DSP_Srv", 7, EntityKind::Task, 80, 580, 350});
    l1Hisr_ = Add({"L1_HISR", 20, EntityKind::Hisr, 0, 610, 260});
    tmrHisr_ = Add({"TMR_HISR", 21, EntityKind::Hisr, 0, 560, 120});
    dspHisr_ = Add({"DSP_HISR", 22, EntityKind::Hisr, 0, 600, 330});
    gsmHisr_ = Add({"GSM_HISR", 23, EntityKind::Hisr, 0, 590, 210});
    frameIrq_ = Add({"FrameInt", 4, EntityKind::Irq, 0, 700, 90});
    timerIrq_ = Add({"Tmr1", 64, EntityKind::Irq, 0, 720, 40});
    dspIrq_ = Add({"DSPP3", 37, EntityKind::Irq, 0, 680, 150});
    gsmIrq_ = Add({"GSMIRQCTRL", 9, EntityKind::Irq, 0, 690, 110});

    states_[idle_].workTotal = kEndlessWork;
    arrivals_.push({Uniform(1 * kUs, 1000 * kUs), frameIrq_});
    arrivals_.push({Uniform(1 * kUs, 5000 * kUs), timerIrq_});
    arrivals_.push({Uniform(500 * kUs, 2500 * kUs), dspIrq_});
    arrivals_.push({Uniform(2000 * kUs, 20000 * kUs), gsmIrq_});
}

int Workload::Add(Entity entity) {
    entities_.push_back(std::move(entity));
    states_.emplace_back();
    return static_cast<int>(entities_.size()) - 1;
}

std::uint64_t Workload::Next() {
    // splitmix64: the same sequence on every platform.
    std::uint64_t z = (rng_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::vector<std::uint8_t> Workload::NextRawBlock() {
    const std::uint32_t index = rawBlocks_++;
    std::size_t length = 16 + Next() % 33;
    if (index == 1)
        length = wire::kMaxRawBlockLength;
    else if (index % 2 == 1)
        length = 1024 + Next() % (wire::kMaxRawBlockLength - 1024);
    std::vector<std::uint8_t> data(length);
    for (std::uint8_t& b : data)
        b = static_cast<std::uint8_t>(Next());
    return data;
}

std::uint64_t Workload::Uniform(std::uint64_t low, std::uint64_t high) {
    return low + Next() % (high - low + 1);
}

bool Workload::Chance(std::uint32_t permille) {
    return Next() % 1000 < permille;
}

void Workload::AddJob(int entity, std::uint64_t work) {
    State& state = states_[static_cast<std::size_t>(entity)];
    const Entity& who = entities_[static_cast<std::size_t>(entity)];
    ++state.jobs;
    std::vector<ScriptItem> items;

    // Nested calls: one outer function around a few inner ones, at random points of the job.
    std::vector<std::uint8_t> functions;
    if (entity == l1Task_) {
        functions = {1, 2, 3};
        for (std::size_t i = 0; options_.manyFunctions && i < kWideCallsPerJob; ++i)
            functions.push_back(
                static_cast<std::uint8_t>(kFirstWideFunction + wideFunction_++ % kWideFunctions));
    } else if (entity == rrTask_)
        functions = {4, 5};
    else if (entity == mmTask_)
        functions = {6};
    else if (entity == ccTask_)
        functions = {7};
    else if (entity == smsTask_)
        functions = {8};
    else if (entity == uartTask_)
        functions = {9};
    else if (entity == dspTask_)
        functions = {10, 11};
    else if (entity == l1Hisr_)
        functions = {12};
    if (!functions.empty() && work > 4) {
        std::vector<std::uint64_t> points(functions.size() * 2);
        for (std::uint64_t& p : points)
            p = Uniform(1, work - 1);
        std::sort(points.begin(), points.end());
        items.push_back({points.front(), EventKind::FunctionEnter, functions[0], 0});
        for (std::size_t i = 1; i < functions.size(); ++i) {
            items.push_back({points[2 * i - 1], EventKind::FunctionEnter, functions[i], 0});
            items.push_back({points[2 * i], EventKind::FunctionExit, functions[i], 0});
        }
        items.push_back({points.back(), EventKind::FunctionExit, functions[0], 0});
    }
    // Bookmarks of the protocol stack.
    if (who.kind == EntityKind::Task && entity != idle_ && Chance(120)) {
        const std::uint8_t number = entity == l1Task_ ? 1 : entity == rrTask_ ? 2 : 3;
        items.push_back({Uniform(0, work), EventKind::UserEvent, number, ++userEventSeq_});
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const ScriptItem& a, const ScriptItem& b) { return a.at < b.at; });
    for (ScriptItem& item : items) {
        item.at += state.workTotal;
        state.script.push_back(item);
    }
    state.workTotal += work;
}

void Workload::ScheduleNext(int irq, std::uint64_t after) {
    std::uint64_t next = after;
    if (irq == frameIrq_) {
        next = after + kFramePeriod;
    } else if (irq == timerIrq_) {
        next = after + kTimerPeriod;
    } else if (irq == gsmIrq_) {
        next = after + Uniform(10000 * kUs, 30000 * kUs);
    } else if (irq == dspIrq_) {
        const bool burst = options_.burstEnd > options_.burstStart;
        if (burst && after >= options_.burstStart && after < options_.burstEnd) {
            next = after + std::max<std::uint64_t>(options_.burstPeriod, 1);
        } else {
            next = after + Uniform(1250 * kUs, 3750 * kUs);
            if (burst && after < options_.burstStart && next > options_.burstStart)
                next = options_.burstStart;
        }
    }
    arrivals_.push({next, irq});
}

void Workload::Complete(int entity) {
    if (entity == runningIrq_) {
        runningIrq_ = -1;
        int hisr = -1;
        std::uint64_t work = 0;
        if (entity == frameIrq_) {
            hisr = l1Hisr_;
            work = Uniform(150 * kUs, 400 * kUs);
        } else if (entity == timerIrq_) {
            hisr = tmrHisr_;
            work = Uniform(20 * kUs, 60 * kUs);
        } else if (entity == dspIrq_) {
            // During a storm most DSP interrupts need no further work.
            const bool storm = now_ >= options_.burstStart && now_ < options_.burstEnd;
            if (!storm || Chance(100)) {
                hisr = dspHisr_;
                work = Uniform(30 * kUs, 100 * kUs);
            }
        } else if (entity == gsmIrq_) {
            hisr = gsmHisr_;
            work = Uniform(40 * kUs, 80 * kUs);
        }
        if (hisr >= 0) {
            if (std::find(hisrQueue_.begin(), hisrQueue_.end(), hisr) == hisrQueue_.end())
                hisrQueue_.push_back(hisr);
            AddJob(hisr, work);
        }
        return;
    }
    if (!hisrQueue_.empty() && hisrQueue_.front() == entity) {
        hisrQueue_.erase(hisrQueue_.begin());
        if (entity == l1Hisr_) {
            if (Chance(800))
                AddJob(l1Task_, Uniform(200 * kUs, 900 * kUs));
            if (Chance(150))
                AddJob(rrTask_, Uniform(300 * kUs, 1500 * kUs));
        } else if (entity == tmrHisr_) {
            ++timerTicks_;
            if (Chance(100))
                AddJob(mmTask_, Uniform(100 * kUs, 600 * kUs));
            if (Chance(50))
                AddJob(ccTask_, Uniform(100 * kUs, 400 * kUs));
            if (Chance(30))
                AddJob(smsTask_, Uniform(200 * kUs, 800 * kUs));
            if (timerTicks_ % 5 == 0)
                AddJob(uartTask_, Uniform(100 * kUs, 300 * kUs));
        } else if (entity == dspHisr_) {
            if (Chance(500))
                AddJob(dspTask_, Uniform(100 * kUs, 400 * kUs));
        } else if (entity == gsmHisr_) {
            if (Chance(300))
                AddJob(rrTask_, Uniform(300 * kUs, 1500 * kUs));
        }
    }
}

int Workload::Pick() const {
    if (runningIrq_ >= 0)
        return runningIrq_;
    if (!hisrQueue_.empty())
        return hisrQueue_.front();
    int best = idle_;
    for (std::size_t i = 0; i < entities_.size(); ++i) {
        const int index = static_cast<int>(i);
        if (entities_[i].kind != EntityKind::Task || index == idle_ || !states_[i].ready())
            continue;
        if (best == idle_ ||
            entities_[i].priority > entities_[static_cast<std::size_t>(best)].priority)
            best = index;
    }
    return best;
}

void Workload::Generate(std::uint64_t until, std::vector<WorkloadEvent>& out) {
    auto emitSwitch = [&](int to) {
        const Entity& who = entities_[static_cast<std::size_t>(to)];
        out.push_back({now_,
                       who.kind == EntityKind::Irq ? EventKind::IrqSwitch : EventKind::TaskSwitch,
                       who.number, 0, to});
    };
    if (current_ < 0) {
        current_ = Pick();
        emitSwitch(current_);
    }
    while (now_ < until) {
        const int cur = current_;
        State& state = states_[static_cast<std::size_t>(cur)];
        std::uint64_t next = until;
        if (!arrivals_.empty())
            next = std::min(next, arrivals_.top().time);
        next = std::min(next, now_ + (state.workTotal - state.workDone));
        if (state.nextItem < state.script.size())
            next = std::min(next, now_ + (state.script[state.nextItem].at - state.workDone));
        state.workDone += next - now_;
        now_ = next;

        while (state.nextItem < state.script.size() &&
               state.script[state.nextItem].at <= state.workDone) {
            const ScriptItem& item = state.script[state.nextItem++];
            out.push_back({now_, item.kind, item.number, item.value, cur});
        }
        if (state.nextItem == state.script.size() && !state.script.empty()) {
            state.script.clear();
            state.nextItem = 0;
        }
        if (!state.ready())
            Complete(cur);
        while (!arrivals_.empty() && arrivals_.top().time <= now_) {
            const Arrival arrival = arrivals_.top();
            arrivals_.pop();
            ScheduleNext(arrival.entity, arrival.time);
            const bool busy = arrival.entity == runningIrq_ ||
                              std::find(pendingIrqs_.begin(), pendingIrqs_.end(), arrival.entity) !=
                                  pendingIrqs_.end();
            if (busy)
                continue; // the interrupt line is still asserted: no second request
            std::uint64_t work = 10 * kUs;
            if (arrival.entity == frameIrq_)
                work = Uniform(15 * kUs, 40 * kUs);
            else if (arrival.entity == timerIrq_)
                work = Uniform(5 * kUs, 10 * kUs);
            else if (arrival.entity == dspIrq_)
                work = Uniform(8 * kUs, 15 * kUs);
            else if (arrival.entity == gsmIrq_)
                work = Uniform(10 * kUs, 20 * kUs);
            AddJob(arrival.entity, work);
            pendingIrqs_.push_back(arrival.entity);
        }
        if (runningIrq_ < 0 && !pendingIrqs_.empty()) {
            runningIrq_ = pendingIrqs_.front();
            pendingIrqs_.erase(pendingIrqs_.begin());
        }
        const int runner = Pick();
        if (runner != current_) {
            current_ = runner;
            emitSwitch(runner);
        }
    }
}

} // namespace zuta::agent
