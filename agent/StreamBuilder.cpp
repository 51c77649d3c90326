#include "agent/StreamBuilder.h"

#include "engine/WireFormat.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace zuta::agent {

namespace {

std::uint32_t Clamp32(std::uint64_t v) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(v, 0xFFFFFFFFu));
}

std::uint32_t StoreIdOf(const Entity& entity) {
    return entity.kind == EntityKind::Irq ? entity.number : entity.number + wire::kTaskIdBase;
}

RecordKind KindOf(EventKind kind) {
    switch (kind) {
    case EventKind::TaskSwitch:
        return RecordKind::TaskSwitch;
    case EventKind::IrqSwitch:
        return RecordKind::IrqSwitch;
    case EventKind::FunctionEnter:
        return RecordKind::FunctionEnter;
    case EventKind::FunctionExit:
        return RecordKind::FunctionExit;
    case EventKind::UserEvent:
        break;
    }
    return RecordKind::UserEvent;
}

} // namespace

void ExtTsClock::Byte(std::uint16_t counter, std::uint8_t subTick, std::uint32_t wraps) {
    constexpr double clock = static_cast<double>(wire::kTimestampClockHz);
    const double t = (static_cast<double>(wire::kCounterStart) - counter) / clock +
                     (static_cast<double>(wraps) / clock) * 65536.0 +
                     subTick * wire::kSubTickSeconds;
    const double delta = count_ == 0 ? 0.0 : t - lastTime_;
    deltas_[2] = deltas_[1];
    deltas_[1] = deltas_[0];
    deltas_[0] = delta;
    lastTime_ = t;
    ++count_;
}

std::uint32_t ExtTsClock::RecordUnits() const {
    if (count_ == 0)
        return 0;
    const std::uint64_t i = count_ - 1;
    double sum = deltas_[0];
    if (i >= 1)
        sum += deltas_[1];
    if (i >= 2)
        sum += deltas_[2];
    const double units = sum * wire::kExtTsUnitsPerSecond;
    if (!(units < 9.2e18 && units > -9.2e18))
        return 0;
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(units)));
}

StreamBuilder::StreamBuilder(std::uint32_t samplingMode, const std::vector<Entity>& entities,
                             GroundTruth& truth)
    : mode_(samplingMode == wire::kModeSimple || samplingMode == wire::kModeExternalTs
                ? samplingMode
                : wire::kModeNormal),
      entities_(entities), truth_(truth) {
    truth_.samplingMode = mode_;
    // Tasks and HISRs are known from the task information sent before the stream.
    for (const Entity& entity : entities_) {
        if (entity.kind == EntityKind::Irq)
            continue;
        TruthTask& task = truth_.tasks[StoreIdOf(entity)];
        task.id = StoreIdOf(entity);
        task.name = entity.name;
        task.type = entity.kind == EntityKind::Hisr ? 1u : 0u;
    }
}

TruthTask& StreamBuilder::TruthOf(int entity) {
    const Entity& who = entities_[static_cast<std::size_t>(entity)];
    const std::uint32_t id = StoreIdOf(who);
    auto found = truth_.tasks.find(id);
    if (found != truth_.tasks.end())
        return found->second;
    TruthTask& task = truth_.tasks[id];
    task.id = id;
    task.name = who.name;
    task.type = who.kind == EntityKind::Irq ? 2u : who.kind == EntityKind::Hisr ? 1u : 0u;
    return task;
}

TruthTask& StreamBuilder::FunctionTruth(std::uint8_t number, bool enter) {
    const std::uint32_t id = number + wire::kFunctionIdBase;
    auto found = truth_.tasks.find(id);
    if (found != truth_.tasks.end())
        return found->second;
    TruthTask& task = truth_.tasks[id];
    task.id = id;
    task.name = "Fn" + std::to_string(number);
    task.type = enter ? 3u : 4u;
    return task;
}

void StreamBuilder::Count(std::uint32_t ticks, std::uint32_t a, std::uint32_t b, std::uint32_t c,
                          bool closesRun) {
    if (running_ < 0)
        return;
    TruthTask& task = TruthOf(running_);
    if (closesRun)
        ++task.runs;
    else
        ++task.functionEvents;
    task.ticks += ticks;
    task.sumValue0 += a;
    task.sumValue1 += b;
    task.sumValue2 += c;
}

void StreamBuilder::AppendPayload(const wire::Bytes& payload, std::uint64_t stamp, bool timedRecord,
                                  wire::Bytes& out) {
    const std::uint64_t ticks12 = stamp / 4;
    const std::uint64_t wraps = ticks12 >> 16;
    const auto counter = static_cast<std::uint16_t>(wire::kCounterStart - (ticks12 & 0xFFFF));
    const auto subTick = static_cast<std::uint8_t>(stamp % 4);
    for (std::size_t i = 0; i < payload.size(); ++i) {
        while (wrapsSent_ < wraps) {
            // Both byte orders of the marker occur on the target.
            wire::AppendWrapMarker(out, wrapsSent_ % 2 == 0);
            ++wrapsSent_;
        }
        wire::AppendFrame(out, payload[i], subTick, counter);
        clock_.Byte(counter, subTick, static_cast<std::uint32_t>(wrapsSent_));
        if (i == 0 && timedRecord)
            lastUnits_ = clock_.RecordUnits();
    }
    truth_.payloadBytes += payload.size();
}

void StreamBuilder::Append(const WorkloadEvent& event, wire::Bytes& out) {
    const RecordKind kind = KindOf(event.kind);
    wire::Bytes payload;
    ++truth_.records;

    if (kind == RecordKind::UserEvent) {
        if (mode_ == wire::kModeSimple)
            wire::AppendSimpleRecord(payload, kind, event.number, event.value);
        else if (mode_ == wire::kModeExternalTs)
            wire::AppendExtTsRecord(payload, kind, event.number);
        else
            wire::AppendFullRecord(payload, kind, event.number, event.value, 0, 0, 0);
        // A user event carries no time: its bytes take the time of the record before it.
        AppendPayload(payload, lastTimed_, false, out);
        ++truth_.userEventCount;
        return;
    }

    // A timed record carries what ran since the record before it.
    const std::uint64_t period = event.time - lastTimed_;
    const std::uint32_t timer = Clamp32(event.time / 4 - lastTimed_ / 4);
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    std::uint32_t c = 0;
    if (running_ >= 0) {
        const Entity& who = entities_[static_cast<std::size_t>(running_)];
        const std::uint64_t cycles = period * 4; // a 192 MHz core
        a = Clamp32(cycles * who.ipcPermille / 1000);
        b = Clamp32(cycles * who.memPermille / 1000);
        c = Clamp32(std::uint64_t{b} * 8 / 3); // eight times the access count
    }
    std::uint32_t ticks = 0;
    std::uint32_t value2 = 0;
    if (mode_ == wire::kModeExternalTs) {
        wire::AppendExtTsRecord(payload, kind, event.number);
        AppendPayload(payload, event.time, true, out);
        ticks = lastUnits_;
        a = b = 0;
    } else if (mode_ == wire::kModeSimple) {
        wire::AppendSimpleRecord(payload, kind, event.number, timer);
        AppendPayload(payload, event.time, true, out);
        ticks = 16u * timer;
        a = b = 0;
    } else {
        wire::AppendFullRecord(payload, kind, event.number, a, b, c, timer);
        AppendPayload(payload, event.time, true, out);
        ticks = 16u * timer;
        value2 = c >> wire::kCounterCShift;
    }
    lastTimed_ = event.time;

    if (kind == RecordKind::TaskSwitch || kind == RecordKind::IrqSwitch) {
        TruthOf(event.entity); // the module creates an IRQ's record on first sight
        if (haveRun_) {
            Count(ticks, a, b, value2, true);
            ++truth_.switchCount;
        }
        haveRun_ = true;
        running_ = event.entity;
    } else {
        FunctionTruth(event.number, kind == RecordKind::FunctionEnter);
        Count(ticks, a, b, value2, false);
        ++truth_.functionEventCount;
    }
}

void StreamBuilder::AppendRawBlock(std::uint8_t dataId, const wire::Bytes& data, wire::Bytes& out) {
    if (mode_ != wire::kModeNormal)
        return;
    wire::Bytes payload;
    wire::AppendRawBlock(payload, dataId, data);
    AppendPayload(payload, lastTimed_, false, out);
    ++truth_.rawBlocks;
}

void StreamBuilder::AppendPadding(wire::Bytes& out) {
    if (mode_ != wire::kModeExternalTs)
        return;
    const std::size_t need = wire::kExtTsRecordNeed - wire::kExtTsRecordSize;
    AppendPayload(wire::Bytes(need, 0x00), lastTimed_, false, out);
}

} // namespace zuta::agent
