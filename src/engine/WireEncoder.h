#pragma once

#include "engine/Records.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zuta::wire {

// Builds the bytes of the links, word by word: the one definition of the wire format that tests,
// fuzz seeds, benchmarks and the simulated agent use.
using Bytes = std::vector<std::uint8_t>;

// ---- Payload records (what the stream carries) ----
void AppendFullRecord(Bytes& out, RecordKind kind, std::uint8_t number, std::uint32_t a,
                      std::uint32_t b, std::uint32_t c, std::uint32_t timer);
void AppendSimpleRecord(Bytes& out, RecordKind kind, std::uint8_t number, std::uint32_t value);
void AppendExtTsRecord(Bytes& out, RecordKind kind, std::uint8_t number);
void AppendRawBlock(Bytes& out, std::uint8_t dataId, const Bytes& data);

// ---- Framed data link ----
// One 6-byte frame per payload byte.
void AppendFrame(Bytes& out, std::uint8_t payload, std::uint8_t subTick, std::uint16_t counter);
void AppendWrapMarker(Bytes& out, bool ffFirst = true);
// Frames every payload byte with sub-tick 0 and a counter that counts down from 65535 by `step`
// per byte, inserting a wrap marker whenever the counter wraps.
class FrameWriter {
public:
    explicit FrameWriter(std::uint16_t step = 1) : step_(step) {}
    void Append(Bytes& out, const Bytes& payload);
    void AppendByte(Bytes& out, std::uint8_t payload, std::uint8_t subTick = 0);
    // Advances the timestamp counter by `ticks` of 12 MHz without sending, wrapping as needed.
    void Advance(Bytes& out, std::uint64_t ticks);
    std::uint16_t counter() const { return counter_; }

private:
    std::uint16_t step_;
    std::uint16_t counter_ = 65535;
};

// ---- Unframed data (data-link port of the command link) ----
Bytes Unframed(const Bytes& payload);

// ---- Command link ----
// The 28-byte link header of an agent message.
Bytes LinkHeader(std::uint16_t linkKind, std::uint16_t senderA, std::uint16_t senderB);
// A whole agent message: link header, type, length field (payload length + 24), payload.
Bytes AgentMessage(std::uint32_t type, const Bytes& payload, std::uint16_t senderA = 1,
                   std::uint16_t senderB = 2, std::uint16_t linkKind = 0);
struct TaskInfoEntry {
    std::uint32_t number = 0;
    std::uint32_t type = 0;
    std::string name; // at most 8 characters are sent
};
Bytes TaskInfoPayload(const std::vector<TaskInfoEntry>& entries);
Bytes RecordsPayload(const std::vector<SampleRecord>& records);
Bytes WordsPayload(const std::vector<std::uint32_t>& words);

// ---- Collector commands ----
Bytes StartPayload(std::uint32_t apdcLow, std::uint32_t apdcHigh, std::uint32_t samplingMode);
Bytes TaskInfoRequestPayload(std::uint32_t taskNumber);

} // namespace zuta::wire
