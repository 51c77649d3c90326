#include "engine/StreamDecoder.h"

#include "engine/WireFormat.h"

#include <algorithm>
#include <cstring>

namespace zuta {

void StreamTiming::Trim() {
    // Record timing looks back two bytes from the record's first byte.
    const std::uint64_t keepFrom = deltaIndex >= 2 ? deltaIndex - 2 : 0;
    if (keepFrom <= deltaBase)
        return;
    const std::uint64_t drop = std::min<std::uint64_t>(keepFrom - deltaBase, deltas.size());
    // Erasing costs a move of what is kept; do it only once the dead prefix dominates.
    if (drop < 4096 || drop * 2 < deltas.size())
        return;
    deltas.erase(deltas.begin(), deltas.begin() + static_cast<std::ptrdiff_t>(drop));
    deltaBase += drop;
}

namespace {

inline bool IsWrapMarker(std::uint8_t a, std::uint8_t b) {
    return (a == wire::kWrapByteA && b == wire::kWrapByteB) ||
           (a == wire::kWrapByteB && b == wire::kWrapByteA);
}

inline bool IsFrameStart(std::uint8_t subTick, std::uint8_t tag) {
    return tag == wire::kFrameTag && subTick <= wire::kMaxSubTick;
}

void TimeByte(StreamTiming& timing, std::uint8_t subTick, std::uint16_t counter) {
    constexpr double clock = static_cast<double>(wire::kTimestampClockHz);
    const double t = (static_cast<double>(wire::kCounterStart) - counter) / clock +
                     (static_cast<double>(timing.wrapCount) / clock) * 65536.0 +
                     subTick * wire::kSubTickSeconds;
    if (timing.firstByte) {
        timing.deltas.push_back(0.0);
        timing.firstByte = false;
    } else {
        timing.deltas.push_back(t - timing.lastByteTime);
    }
    timing.lastByteTime = t;
}

// Takes frames and markers that start before `stop` while six bytes remain from where they start;
// returns the position reached and adds the bytes stepped over to `skipped`. Where six bytes
// remain, the frame test and the marker test cannot both match (a frame starts with 0..3), so
// their order does not matter.
template <bool kTimed>
std::size_t ScanUnits(const std::uint8_t* data, std::size_t n, std::size_t p, std::size_t stop,
                      std::uint8_t* out, std::size_t& count, std::size_t& skipped,
                      StreamTiming* timing) {
    while (p < stop && p + wire::kFrameSize <= n) {
        if (IsFrameStart(data[p], data[p + 1])) {
            out[count++] = data[p + wire::kFramePayloadOffset];
            if constexpr (kTimed)
                TimeByte(*timing, data[p], wire::ReadU16(data + p + wire::kFrameCounterOffset));
            p += wire::kFrameSize;
        } else if (IsWrapMarker(data[p], data[p + 1])) {
            if constexpr (kTimed)
                ++timing->wrapCount;
            p += wire::kWrapMarkerSize;
        } else {
            ++p;
            ++skipped;
        }
    }
    return p;
}

std::size_t Scan(const std::uint8_t* data, std::size_t n, std::size_t p, std::size_t stop,
                 std::uint8_t* out, std::size_t& count, std::size_t& skipped,
                 StreamTiming* timing) {
    return timing != nullptr ? ScanUnits<true>(data, n, p, stop, out, count, skipped, timing)
                             : ScanUnits<false>(data, n, p, stop, out, count, skipped, timing);
}

} // namespace

std::size_t StreamDecoder::DecodeFramedStream(const std::uint8_t* bytes, std::size_t length,
                                              std::vector<std::uint8_t>& payload,
                                              StreamTiming* timing) {
    const std::size_t start = payload.size();
    payload.resize(start + (carryLength_ + length) / wire::kFrameSize + 1);
    std::uint8_t* out = payload.data() + start;
    std::size_t count = 0;
    std::size_t skipped = 0;

    const std::uint8_t* data = bytes;
    std::size_t n = length;
    std::size_t p = 0;
    // The carried tail and the first bytes of this batch are scanned in a small buffer until the
    // scan has left the carried bytes; then it goes on in the batch itself, which is not copied.
    std::uint8_t seam[sizeof carry_ + wire::kFrameSize];
    if (carryLength_ > 0) {
        const std::size_t carried = carryLength_;
        const std::size_t taken = std::min(length, wire::kFrameSize);
        std::memcpy(seam, carry_, carried);
        if (taken > 0)
            std::memcpy(seam + carried, bytes, taken);
        carryLength_ = 0;
        const std::size_t q = Scan(seam, carried + taken, 0, carried, out, count, skipped, timing);
        if (q >= carried) {
            p = q - carried;
        } else {
            // The batch is too short to get past the carried bytes: the seam is all there is.
            data = seam;
            n = carried + taken;
            p = q;
        }
    }
    p = Scan(data, n, p, n, out, count, skipped, timing);
    // Fewer than six bytes left: count the markers that are whole, keep the rest for next time.
    while (p + wire::kWrapMarkerSize <= n && IsWrapMarker(data[p], data[p + 1])) {
        if (timing != nullptr)
            ++timing->wrapCount;
        p += wire::kWrapMarkerSize;
    }
    carryLength_ = n - p;
    if (carryLength_ > 0)
        std::memcpy(carry_, data + p, carryLength_);
    payload.resize(start + count);
    return skipped;
}

void StreamDecoder::ExtractUnframedPayload(const std::uint8_t* bytes, std::size_t length,
                                           std::vector<std::uint8_t>& payload) {
    const std::size_t units = length / wire::kUnframedUnitSize;
    const std::size_t start = payload.size();
    payload.resize(start + units);
    for (std::size_t i = 0; i < units; ++i)
        payload[start + i] = bytes[i * wire::kUnframedUnitSize + wire::kUnframedPayloadOffset];
}

} // namespace zuta
