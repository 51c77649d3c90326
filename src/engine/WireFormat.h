#pragma once

// The wire format shared by both ends of the links: the data-link stream, the collector's payload
// records, the command-link messages and the collector commands. All multi-byte fields are
// little-endian and are read and written byte by byte.

#include <cstddef>
#include <cstdint>

namespace zuta::wire {

// ---- Data link (TLN): framed stream -------------------------------------------------------------

// Two-byte marker for one wrap of the 16-bit timestamp counter, in either byte order.
inline constexpr std::uint8_t kWrapByteA = 0xFF;
inline constexpr std::uint8_t kWrapByteB = 0x17;
inline constexpr std::size_t kWrapMarkerSize = 2;

// Payload frame: sub-tick (0..3), tag 0x15, payload byte, unused, u16 down-counter.
inline constexpr std::size_t kFrameSize = 6;
inline constexpr std::uint8_t kFrameTag = 0x15;
inline constexpr std::uint8_t kMaxSubTick = 3;
inline constexpr std::size_t kFrameSubTickOffset = 0;
inline constexpr std::size_t kFrameTagOffset = 1;
inline constexpr std::size_t kFramePayloadOffset = 2;
inline constexpr std::size_t kFrameCounterOffset = 4;

inline constexpr std::uint32_t kTimestampClockHz = 12000000;
inline constexpr double kSubTickSeconds = 2.0833333333333335e-8; // 1 / 48 MHz
inline constexpr std::uint32_t kCounterStart = 65535;

// Unframed data (data-link port of the command link): 4-byte units, payload in byte 1.
inline constexpr std::size_t kUnframedUnitSize = 4;
inline constexpr std::size_t kUnframedPayloadOffset = 1;

// ---- Payload records
// ------------------------------------------------------------------------------

inline constexpr std::uint8_t kHeaderTaskSwitch[2] = {0x55, 0xAA};
inline constexpr std::uint8_t kHeaderUserEvent[2] = {0xAA, 0x55};
inline constexpr std::uint8_t kHeaderIrqSwitch[2] = {0x55, 0xCC};
inline constexpr std::uint8_t kHeaderFunctionEnter[2] = {0x55, 0xDD};
inline constexpr std::uint8_t kHeaderFunctionExit[2] = {0x55, 0xEE};
inline constexpr std::uint8_t kHeaderRawData[2] = {0x55, 0x88};

// Record lengths by sampling mode, and the bytes needed before a record is taken.
inline constexpr std::size_t kFullRecordSize = 19;  // header, n, A, B, C, T
inline constexpr std::size_t kSimpleRecordSize = 7; // header, n, V
inline constexpr std::size_t kExtTsRecordSize = 3;  // header, n
inline constexpr std::size_t kFullRecordNeed = 19;
inline constexpr std::size_t kSimpleRecordNeed = 7;
inline constexpr std::size_t kExtTsRecordNeed = 7;

// Full record field offsets.
inline constexpr std::size_t kRecordNumberOffset = 2;
inline constexpr std::size_t kFullCounterAOffset = 3;
inline constexpr std::size_t kFullCounterBOffset = 7;
inline constexpr std::size_t kFullCounterCOffset = 11;
inline constexpr std::size_t kFullTimerOffset = 15;
inline constexpr unsigned kCounterCShift = 3;
// Simple record value offset.
inline constexpr std::size_t kSimpleValueOffset = 3;

// Raw data block: header, identifier, u32 length, data.
inline constexpr std::size_t kRawBlockHeaderSize = 7;
inline constexpr std::size_t kRawBlockLengthOffset = 3;
// Longest raw block taken; a longer declared length is corrupt data.
inline constexpr std::uint32_t kMaxRawBlockLength = 64 * 1024;

// Identifier offsets of the store.
inline constexpr std::uint32_t kTaskIdBase = 1000;
inline constexpr std::uint32_t kUserEventIdBase = 2000;
inline constexpr std::uint32_t kFunctionIdBase = 5000;

// Sampling modes sent in "Start".
inline constexpr std::uint32_t kModeNormal = 0;
inline constexpr std::uint32_t kModeSimple = 2;
inline constexpr std::uint32_t kModeExternalTs = 3;

// External TS times are in units of 0.1 ns.
inline constexpr double kExtTsUnitsPerSecond = 10000000000.0;

// ---- Command link -------------------------------------------------------------------------------

// The link's own header in front of every agent message: u16 message kind at 0 (the endpoint takes
// only kinds 0 and 4), the agent's two sender ids at 4 and 6.
inline constexpr std::size_t kLinkHeaderSize = 28;
inline constexpr std::size_t kLinkKindOffset = 0;
inline constexpr std::size_t kLinkSenderAOffset = 4;
inline constexpr std::size_t kLinkSenderBOffset = 6;
inline constexpr std::uint16_t kLinkKindData = 0;
inline constexpr std::uint16_t kLinkKindReply = 4;

// Agent message after the link header: u32 type, u32 length field (payload length + 24).
inline constexpr std::size_t kMessageTypeOffset = 28;
inline constexpr std::size_t kMessageLengthOffset = 32;
inline constexpr std::size_t kMessagePayloadOffset = 36;
inline constexpr std::uint32_t kMessageLengthBias = 24;
inline constexpr std::uint32_t kMaxMessagePayload = 65536;

inline constexpr std::uint32_t kMsgTaskInfo = 0;
inline constexpr std::uint32_t kMsgRecords = 1;
inline constexpr std::uint32_t kMsgProbeWords = 4;
inline constexpr std::uint32_t kMsgTcbBlock = 5;
inline constexpr std::uint32_t kMsgExtraWords = 6;

// Task info entry: u32 task number, u32 type (0 task, 1 HISR), 8-byte NUL-padded name.
inline constexpr std::size_t kTaskInfoEntrySize = 16;
inline constexpr std::size_t kTaskInfoNameOffset = 8;
inline constexpr std::size_t kTaskInfoNameSize = 8;
// Ready-made records: seven u32 words of a SampleRecord.
inline constexpr std::size_t kWireSampleRecordSize = 28;
inline constexpr std::size_t kProbeWordCount = 3;
inline constexpr std::size_t kTcbWordCount = 42;
inline constexpr std::size_t kTcbBlockSize = kTcbWordCount * 4;
inline constexpr std::size_t kExtraWordCount = 22;

// Collector commands: agent and group names, command names and payload sizes.
inline constexpr const char* kAgentName = "DataCollector";
inline constexpr const char* kGroupName = "Collector";
inline constexpr const char* kAgentIdentity = "DATA_COLLECTOR";
inline constexpr const char* kCmdStart = "Start";
inline constexpr const char* kCmdStop = "Stop";
inline constexpr const char* kCmdConfigData = "ConfigData";
inline constexpr const char* kCmdTaskInfo = "TaskInfo";
inline constexpr std::size_t kStartPayloadSize = 12; // APDC low, APDC high, sampling mode
inline constexpr std::size_t kConfigDataPayloadSize = 16;
inline constexpr std::size_t kTaskInfoPayloadSize = 4;
// The byte that wakes the data link before "Start".
inline constexpr std::uint8_t kDataLinkWakeByte = 0xAA;

static_assert(kFullRecordSize == 2 + 1 + 4 * 4);
static_assert(kSimpleRecordSize == 2 + 1 + 4);
static_assert(kMessagePayloadOffset == kLinkHeaderSize + 8);
static_assert(kMessagePayloadOffset - kMessageLengthBias == 12);
static_assert(kTcbBlockSize == 168);
static_assert(kWireSampleRecordSize == 7 * 4);

// ---- Little-endian helpers ----------------------------------------------------------------------

inline std::uint16_t ReadU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t ReadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void WriteU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void WriteU32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

} // namespace zuta::wire
