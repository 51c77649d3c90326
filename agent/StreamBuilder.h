#pragma once

#include "agent/GroundTruth.h"
#include "agent/Workload.h"
#include "engine/WireEncoder.h"

#include <cstdint>
#include <vector>

namespace zuta::agent {

// The time of a payload byte as the receiving side derives it from the frame's timestamp, and the
// time of a header-only record: the three byte-to-byte differences before its first byte, in
// units of 0.1 ns. Same arithmetic, same operands, same order as the receiver, so the figures the
// agent expects are exactly the figures the receiver computes.
class ExtTsClock {
public:
    void Byte(std::uint16_t counter, std::uint8_t subTick, std::uint32_t wraps);
    // Units of the record whose first byte was the latest Byte.
    std::uint32_t RecordUnits() const;

private:
    double lastTime_ = 0.0;
    std::uint64_t count_ = 0;
    double deltas_[3] = {}; // latest first
};

// Turns workload events into the framed data-link stream of one sampling mode and keeps the
// ground truth of what the module must make of it.
class StreamBuilder {
public:
    StreamBuilder(std::uint32_t samplingMode, const std::vector<Entity>& entities,
                  GroundTruth& truth);

    void Append(const WorkloadEvent& event, wire::Bytes& out);
    // Full mode only (ignored otherwise): a block of raw target data.
    void AppendRawBlock(std::uint8_t dataId, const wire::Bytes& data, wire::Bytes& out);
    // External TS mode: the receiver takes a record only when seven bytes from its start are
    // there, so the last record of a write is followed by filler bytes (timed like it, so no
    // record's time changes). Nothing in the other modes.
    void AppendPadding(wire::Bytes& out);
    std::uint32_t samplingMode() const { return mode_; }

private:
    void AppendPayload(const wire::Bytes& payload, std::uint64_t stamp, bool timedRecord,
                       wire::Bytes& out);
    TruthTask& TruthOf(int entity);
    TruthTask& FunctionTruth(std::uint8_t number, bool enter);
    void Count(std::uint32_t ticks, std::uint32_t a, std::uint32_t b, std::uint32_t c,
               bool closesRun);

    std::uint32_t mode_;
    const std::vector<Entity>& entities_;
    GroundTruth& truth_;
    ExtTsClock clock_;
    std::uint64_t wrapsSent_ = 0;
    std::uint64_t lastTimed_ = 0; // time of the latest timed record
    int running_ = -1;            // who runs since the latest switch
    bool haveRun_ = false;        // a switch was sent: the next one ends a run
    std::uint32_t lastUnits_ = 0;
};

} // namespace zuta::agent
