#pragma once

// Synthetic data-link traffic shaped like a busy modem: a handful of tasks and HISRs with an idle
// task, frequent interrupts, function entry/exit pairs inside tasks and the odd user event. Every
// byte comes from the wire encoder.

#include "engine/PerformanceData.h"
#include "engine/Records.h"
#include "engine/WireEncoder.h"
#include "engine/WireFormat.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zuta::bench {

enum class StreamMode { Full, Simple, ExternalTs };

inline constexpr std::size_t kBatchSize = 4096;
inline constexpr std::uint32_t kTaskCount = 24;

// Deterministic generator so every run measures the same bytes.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    std::uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<std::uint32_t>(state_ >> 11);
    }
    std::uint32_t Range(std::uint32_t low, std::uint32_t high) {
        return low + Next() % (high - low + 1);
    }

private:
    std::uint64_t state_;
};

// The records of a stretch of modem activity, as the collector would number and count them.
class ModemActivity {
public:
    explicit ModemActivity(std::uint64_t seed = 0x5EED5EEDull) : rng_(seed) {}

    // The next record: about 45 % task switches, 25 % IRQ switches, 25 % function events and 5 %
    // user events.
    SampleRecord Next() {
        static constexpr std::uint8_t kIrqs[] = {3, 7, 11, 17, 18, 24, 33, 40, 41, 55, 60, 71};
        SampleRecord r;
        const std::uint32_t roll = rng_.Range(0, 99);
        const std::uint32_t instructions = rng_.Range(100, 50000);
        r.value0 = instructions;
        r.value1 = rng_.Range(0, 2000);
        r.value2 = rng_.Range(0, 8000);
        r.value3 = instructions / 2 + rng_.Range(0, 4000);
        if (openFunction_ >= 0) {
            r.kind = static_cast<std::uint32_t>(RecordKind::FunctionExit);
            r.id = static_cast<std::uint32_t>(openFunction_);
            openFunction_ = -1;
        } else if (roll < 45) {
            // The idle task runs about a third of the time.
            r.kind = static_cast<std::uint32_t>(RecordKind::TaskSwitch);
            r.id = rng_.Range(0, 2) == 0 ? 0 : rng_.Range(1, kTaskCount - 1);
        } else if (roll < 70) {
            r.kind = static_cast<std::uint32_t>(RecordKind::IrqSwitch);
            r.id = kIrqs[rng_.Range(0, sizeof kIrqs - 1)];
        } else if (roll < 95) {
            r.kind = static_cast<std::uint32_t>(RecordKind::FunctionEnter);
            r.id = rng_.Range(0, 29);
            openFunction_ = static_cast<int>(r.id);
        } else {
            r.kind = static_cast<std::uint32_t>(RecordKind::UserEvent);
            r.id = rng_.Range(0, 7);
            r.value1 = r.value2 = r.value3 = 0;
        }
        return r;
    }

private:
    Rng rng_;
    int openFunction_ = -1;
};

// Appends the record in the layout of `mode`; ids are the plain record numbers.
inline void AppendRecord(wire::Bytes& payload, const SampleRecord& r, StreamMode mode) {
    const auto kind = static_cast<RecordKind>(r.kind);
    const auto number = static_cast<std::uint8_t>(r.id);
    switch (mode) {
    case StreamMode::Full:
        wire::AppendFullRecord(payload, kind, number, r.value0, r.value1, r.value2 << 3, r.value3);
        break;
    case StreamMode::Simple:
        wire::AppendSimpleRecord(payload, kind, number, r.value3);
        break;
    case StreamMode::ExternalTs:
        wire::AppendExtTsRecord(payload, kind, number);
        break;
    }
}

// A framed stream of at least `minBytes` bytes that ends on a frame boundary.
struct FramedStream {
    wire::Bytes bytes;
    std::size_t records = 0;
};

inline FramedStream MakeFramedStream(StreamMode mode, std::size_t minBytes) {
    FramedStream stream;
    stream.bytes.reserve(minBytes + 4096);
    ModemActivity activity;
    // About 3 us between payload bytes at 12 MHz.
    wire::FrameWriter writer(37);
    wire::Bytes payload;
    while (stream.bytes.size() < minBytes) {
        payload.clear();
        for (int i = 0; i < 64; ++i) {
            AppendRecord(payload, activity.Next(), mode);
            ++stream.records;
        }
        writer.Append(stream.bytes, payload);
    }
    return stream;
}

// The collector's task list: task 0 is the idle task, odd numbers are HISRs.
inline wire::Bytes TaskInfoMessage() {
    std::vector<wire::TaskInfoEntry> tasks;
    for (std::uint32_t t = 0; t < kTaskCount; ++t)
        tasks.push_back({t, t % 2, t == 0 ? std::string("CommPM_L") : "Task" + std::to_string(t)});
    return wire::AgentMessage(wire::kMsgTaskInfo, wire::TaskInfoPayload(tasks));
}

// Starts a collection of `data` and announces the tasks, as a view does before the first batch.
inline void StartModemCollection(CPerformanceData& data, StreamMode mode) {
    data.SetSimpleMode(mode == StreamMode::Simple);
    data.SetExternalTsMode(mode == StreamMode::ExternalTs);
    data.StartCollection();
    const wire::Bytes message = TaskInfoMessage();
    std::uint32_t result = 0;
    data.OnCommandLinkMessage(message.data(), message.size(), result);
}

} // namespace zuta::bench
