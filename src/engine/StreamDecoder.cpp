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

} // namespace

void StreamDecoder::DecodeFramedStream(const std::uint8_t* bytes, std::size_t length,
                                       std::vector<std::uint8_t>& payload, StreamTiming* timing) {
    const std::uint8_t* data = bytes;
    std::size_t n = length;
    if (carryLength_ > 0) {
        joined_.resize(carryLength_ + length);
        std::memcpy(joined_.data(), carry_, carryLength_);
        if (length > 0)
            std::memcpy(joined_.data() + carryLength_, bytes, length);
        carryLength_ = 0;
        data = joined_.data();
        n = joined_.size();
    }
    if (n == 0)
        return;

    const std::size_t start = payload.size();
    payload.resize(start + n / wire::kFrameSize + 1);
    std::uint8_t* out = payload.data() + start;
    std::size_t count = 0;
    std::size_t p = 0;

    // Where six bytes remain, the frame test and the marker test cannot both match (a frame starts
    // with 0..3), so their order does not matter and the loop needs no bounds checks.
    if (timing == nullptr) {
        while (p + wire::kFrameSize <= n) {
            if (IsFrameStart(data[p], data[p + 1])) {
                out[count++] = data[p + wire::kFramePayloadOffset];
                p += wire::kFrameSize;
            } else if (IsWrapMarker(data[p], data[p + 1])) {
                p += wire::kWrapMarkerSize;
            } else {
                ++p;
            }
        }
    } else {
        while (p + wire::kFrameSize <= n) {
            if (IsFrameStart(data[p], data[p + 1])) {
                out[count++] = data[p + wire::kFramePayloadOffset];
                TimeByte(*timing, data[p], wire::ReadU16(data + p + wire::kFrameCounterOffset));
                p += wire::kFrameSize;
            } else if (IsWrapMarker(data[p], data[p + 1])) {
                ++timing->wrapCount;
                p += wire::kWrapMarkerSize;
            } else {
                ++p;
            }
        }
    }
    // Fewer than six bytes left: count the markers that are whole, keep the rest for next time.
    while (p < n) {
        if (p + wire::kWrapMarkerSize > n)
            break;
        if (IsWrapMarker(data[p], data[p + 1])) {
            if (timing != nullptr)
                ++timing->wrapCount;
            p += wire::kWrapMarkerSize;
            continue;
        }
        break;
    }
    carryLength_ = n - p;
    if (carryLength_ > 0)
        std::memcpy(carry_, data + p, carryLength_);
    payload.resize(start + count);
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
