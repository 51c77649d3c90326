#include "engine/WireEncoder.h"

#include "engine/WireFormat.h"

namespace zuta::wire {

namespace {

const std::uint8_t* HeaderOf(RecordKind kind) {
    switch (kind) {
    case RecordKind::TaskSwitch:
        return kHeaderTaskSwitch;
    case RecordKind::UserEvent:
        return kHeaderUserEvent;
    case RecordKind::IrqSwitch:
        return kHeaderIrqSwitch;
    case RecordKind::FunctionEnter:
        return kHeaderFunctionEnter;
    case RecordKind::FunctionExit:
        return kHeaderFunctionExit;
    }
    return kHeaderTaskSwitch;
}

void PutU32(Bytes& out, std::uint32_t v) {
    std::uint8_t b[4];
    WriteU32(b, v);
    out.insert(out.end(), b, b + 4);
}

void PutHeader(Bytes& out, RecordKind kind, std::uint8_t number) {
    const std::uint8_t* h = HeaderOf(kind);
    out.push_back(h[0]);
    out.push_back(h[1]);
    out.push_back(number);
}

} // namespace

void AppendFullRecord(Bytes& out, RecordKind kind, std::uint8_t number, std::uint32_t a,
                      std::uint32_t b, std::uint32_t c, std::uint32_t timer) {
    PutHeader(out, kind, number);
    PutU32(out, a);
    PutU32(out, b);
    PutU32(out, c);
    PutU32(out, timer);
}

void AppendSimpleRecord(Bytes& out, RecordKind kind, std::uint8_t number, std::uint32_t value) {
    PutHeader(out, kind, number);
    PutU32(out, value);
}

void AppendExtTsRecord(Bytes& out, RecordKind kind, std::uint8_t number) {
    PutHeader(out, kind, number);
}

void AppendRawBlock(Bytes& out, std::uint8_t dataId, const Bytes& data) {
    out.push_back(kHeaderRawData[0]);
    out.push_back(kHeaderRawData[1]);
    out.push_back(dataId);
    PutU32(out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
}

void AppendFrame(Bytes& out, std::uint8_t payload, std::uint8_t subTick, std::uint16_t counter) {
    const std::uint8_t frame[kFrameSize] = {subTick,
                                            kFrameTag,
                                            payload,
                                            0,
                                            static_cast<std::uint8_t>(counter),
                                            static_cast<std::uint8_t>(counter >> 8)};
    out.insert(out.end(), frame, frame + kFrameSize);
}

void AppendWrapMarker(Bytes& out, bool ffFirst) {
    out.push_back(ffFirst ? kWrapByteA : kWrapByteB);
    out.push_back(ffFirst ? kWrapByteB : kWrapByteA);
}

void FrameWriter::Advance(Bytes& out, std::uint64_t ticks) {
    // The counter runs down from 65535; passing below 0 reloads it and sends a wrap marker.
    std::uint64_t left = ticks;
    while (left > counter_) {
        left -= std::uint64_t{counter_} + 1;
        counter_ = 65535;
        AppendWrapMarker(out);
    }
    counter_ = static_cast<std::uint16_t>(counter_ - left);
}

void FrameWriter::AppendByte(Bytes& out, std::uint8_t payload, std::uint8_t subTick) {
    AppendFrame(out, payload, subTick, counter_);
    Advance(out, step_);
}

void FrameWriter::Append(Bytes& out, const Bytes& payload) {
    out.reserve(out.size() + payload.size() * kFrameSize);
    for (const std::uint8_t b : payload)
        AppendByte(out, b);
}

Bytes Unframed(const Bytes& payload) {
    Bytes out;
    out.reserve(payload.size() * kUnframedUnitSize);
    for (const std::uint8_t b : payload) {
        out.push_back(0);
        out.push_back(b);
        out.push_back(0);
        out.push_back(0);
    }
    return out;
}

Bytes LinkHeader(std::uint16_t linkKind, std::uint16_t senderA, std::uint16_t senderB) {
    Bytes out(kLinkHeaderSize, 0);
    WriteU16(out.data() + kLinkKindOffset, linkKind);
    WriteU16(out.data() + kLinkSenderAOffset, senderA);
    WriteU16(out.data() + kLinkSenderBOffset, senderB);
    return out;
}

Bytes AgentMessage(std::uint32_t type, const Bytes& payload, std::uint16_t senderA,
                   std::uint16_t senderB, std::uint16_t linkKind) {
    Bytes out = LinkHeader(linkKind, senderA, senderB);
    PutU32(out, type);
    PutU32(out, static_cast<std::uint32_t>(payload.size()) + kMessageLengthBias);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

Bytes TaskInfoPayload(const std::vector<TaskInfoEntry>& entries) {
    Bytes out;
    for (const TaskInfoEntry& e : entries) {
        PutU32(out, e.number);
        PutU32(out, e.type);
        for (std::size_t k = 0; k < kTaskInfoNameSize; ++k)
            out.push_back(k < e.name.size() ? static_cast<std::uint8_t>(e.name[k]) : 0);
    }
    return out;
}

Bytes RecordsPayload(const std::vector<SampleRecord>& records) {
    Bytes out;
    out.reserve(records.size() * kWireSampleRecordSize);
    for (const SampleRecord& r : records) {
        for (const std::uint32_t w :
             {r.id, r.value0, r.value1, r.value2, r.value3, r.ticks, r.kind})
            PutU32(out, w);
    }
    return out;
}

Bytes WordsPayload(const std::vector<std::uint32_t>& words) {
    Bytes out;
    for (const std::uint32_t w : words)
        PutU32(out, w);
    return out;
}

Bytes StartPayload(std::uint32_t apdcLow, std::uint32_t apdcHigh, std::uint32_t samplingMode) {
    return WordsPayload({apdcLow, apdcHigh, samplingMode});
}

Bytes TaskInfoRequestPayload(std::uint32_t taskNumber) {
    return WordsPayload({taskNumber});
}

} // namespace zuta::wire
