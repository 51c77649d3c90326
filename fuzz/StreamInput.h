#pragma once

// The input layout of framed_stream_fuzzer, shared with the seed generator: byte 0 holds the flags
// below, byte 1 the number c (0..15) of batch lengths that follow, then c bytes of lengths (each b
// gives a batch of b + 1 bytes, used in turn); the rest is the link data. With c = 0 the data goes
// in as one batch.

#include <cstddef>
#include <cstdint>

namespace zuta::fuzz {

inline constexpr std::uint8_t kModeMask = 0x03; // 0 full, 1 simple, 2 external TS, 3 both
inline constexpr std::uint8_t kModeFull = 0;
inline constexpr std::uint8_t kModeSimple = 1;
inline constexpr std::uint8_t kModeExtTs = 2;
inline constexpr std::uint8_t kModeSimpleAndExtTs = 3;
inline constexpr std::uint8_t kUnframed = 0x04;       // data-link port of the command link
inline constexpr std::uint8_t kRestartHalfway = 0x08; // a new collection between two batches
inline constexpr std::uint8_t kWithFunctions = 0x10;  // graph samples include function events
inline constexpr std::uint8_t kAnnounceTasks = 0x20;  // task names arrive before the data
inline constexpr std::uint8_t kEmptyBatches = 0x40;   // an empty and a missing batch come first

inline constexpr std::size_t kHeaderSize = 2;
inline constexpr std::uint8_t kSplitCountMask = 0x0F;

} // namespace zuta::fuzz
