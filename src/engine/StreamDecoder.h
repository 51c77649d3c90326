#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zuta {

// Per-payload-byte timing of the external-TS mode, and the stream timestamp state. Cleared at every
// store reset.
struct StreamTiming {
    std::uint32_t wrapCount = 0;
    double lastByteTime = 0.0;
    bool firstByte = true;
    // deltas[k] is the time since the previous payload byte of payload byte deltaBase + k.
    std::vector<double> deltas;
    std::uint64_t deltaBase = 0;
    // Index (since the reset) of the next payload byte record decoding consumes.
    std::uint64_t deltaIndex = 0;

    // The time difference of payload byte i; 0 when it was never timed.
    double Delta(std::uint64_t i) const {
        return i >= deltaBase && i - deltaBase < deltas.size() ? deltas[i - deltaBase] : 0.0;
    }
    // Forgets the differences no record can still need (all before deltaIndex - 2).
    void Trim();
    void Reset() { *this = StreamTiming{}; }
};

// Cuts framed data-link batches into payload bytes. Accepts any split of the stream.
class StreamDecoder {
public:
    // Appends the payload bytes of a framed batch to `payload`; with `timing`, also one time
    // difference per payload byte. Returns the bytes skipped in search of the next frame or
    // marker: stray or damaged stream bytes (bytes kept for the next batch are not counted).
    std::size_t DecodeFramedStream(const std::uint8_t* bytes, std::size_t length,
                                   std::vector<std::uint8_t>& payload, StreamTiming* timing);
    // Appends byte 1 of every whole 4-byte unit to `payload`.
    static void ExtractUnframedPayload(const std::uint8_t* bytes, std::size_t length,
                                       std::vector<std::uint8_t>& payload);

    std::size_t carrySize() const { return carryLength_; }

private:
    // Leftover-bytes invariant: carry_ holds the unconsumed tail of the previous batch, which is
    // always shorter than one frame (at most 5 bytes): either a lone byte that may start a wrap
    // marker, or the start of a frame that was cut. It is put in front of the next batch.
    std::uint8_t carry_[8] = {};
    std::size_t carryLength_ = 0;
};

} // namespace zuta
