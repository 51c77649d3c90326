#include "engine/RecordDecoder.h"

#include "engine/StreamDecoder.h"
#include "engine/WireFormat.h"

#include <cmath>
#include <cstring>

namespace zuta {

namespace {

// The record kind of a two-byte header, or 0 when the bytes are no record header.
inline std::uint32_t HeaderKind(std::uint8_t a, std::uint8_t b) {
    if (a == 0x55) {
        switch (b) {
        case 0xAA:
            return static_cast<std::uint32_t>(RecordKind::TaskSwitch);
        case 0xCC:
            return static_cast<std::uint32_t>(RecordKind::IrqSwitch);
        case 0xDD:
            return static_cast<std::uint32_t>(RecordKind::FunctionEnter);
        case 0xEE:
            return static_cast<std::uint32_t>(RecordKind::FunctionExit);
        default:
            return 0;
        }
    }
    return (a == 0xAA && b == 0x55) ? static_cast<std::uint32_t>(RecordKind::UserEvent) : 0;
}

inline std::uint32_t IdOf(std::uint32_t kind, std::uint8_t number) {
    switch (static_cast<RecordKind>(kind)) {
    case RecordKind::TaskSwitch:
        return number + wire::kTaskIdBase;
    case RecordKind::UserEvent:
        return number + wire::kUserEventIdBase;
    case RecordKind::IrqSwitch:
        return number;
    default:
        return number + wire::kFunctionIdBase;
    }
}

// A time in seconds as a count of 0.1 ns, cut to 32 bits; 0 when it does not fit an integer.
inline std::uint32_t ToTimeUnits(double seconds) {
    const double units = seconds * wire::kExtTsUnitsPerSecond;
    if (!std::isfinite(units) || units >= 9.2e18 || units <= -9.2e18)
        return 0;
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(units)));
}

} // namespace

bool RecordDecoder::DecodeRecords(const std::uint8_t* payload, std::size_t count,
                                  RecordLayout layout, StreamTiming& timing,
                                  std::vector<SampleRecord>& out, const RawBlockHandler& onRawBlock,
                                  RecordScan* scan) {
    if (payload == nullptr || count == 0)
        return false;
    RecordScan found;

    const std::uint8_t* data = payload;
    std::size_t n = count;
    if (!carry_.empty()) {
        joined_.assign(carry_.begin(), carry_.end());
        joined_.insert(joined_.end(), payload, payload + count);
        carry_.clear();
        data = joined_.data();
        n = joined_.size();
    }

    std::size_t recordSize = wire::kFullRecordSize;
    std::size_t need = wire::kFullRecordNeed;
    if (layout == RecordLayout::Simple) {
        recordSize = wire::kSimpleRecordSize;
        need = wire::kSimpleRecordNeed;
    } else if (layout == RecordLayout::ExternalTs) {
        recordSize = wire::kExtTsRecordSize;
        need = wire::kExtTsRecordNeed;
    }
    out.reserve(out.size() + n / recordSize + 1);

    std::size_t p = 0;
    while (p < n) {
        if (layout == RecordLayout::Full && p + 1 < n && data[p] == wire::kHeaderRawData[0] &&
            data[p + 1] == wire::kHeaderRawData[1]) {
            if (p + wire::kRawBlockHeaderSize > n)
                break;
            const std::uint32_t blockLength = wire::ReadU32(data + p + wire::kRawBlockLengthOffset);
            if (blockLength > wire::kMaxRawBlockLength) {
                // Corrupt length: skip the header byte and look for the next record.
                Skip(data[p], found);
                ++p;
                continue;
            }
            const std::uint64_t end = std::uint64_t{p} + wire::kRawBlockHeaderSize + blockLength;
            if (end > n) {
                found.rawBlockOpen = true;
                break; // wait for the rest of the block
            }
            RawDataBlock block;
            block.id = data[p + wire::kRecordNumberOffset];
            block.data = data + p + wire::kRawBlockHeaderSize;
            block.length = blockLength;
            if (onRawBlock)
                onRawBlock(block);
            ++found.rawBlocks;
            unknownCounted_ = false;
            p = static_cast<std::size_t>(end);
            continue;
        }
        if (p + need > n)
            break;
        const std::uint32_t kind = HeaderKind(data[p], data[p + 1]);
        if (kind == 0) {
            Skip(data[p], found);
            ++p;
            continue;
        }
        unknownCounted_ = false;
        SampleRecord r;
        r.kind = kind;
        r.id = IdOf(kind, data[p + wire::kRecordNumberOffset]);
        switch (layout) {
        case RecordLayout::Full:
            r.value0 = wire::ReadU32(data + p + wire::kFullCounterAOffset);
            r.value1 = wire::ReadU32(data + p + wire::kFullCounterBOffset);
            r.value2 = wire::ReadU32(data + p + wire::kFullCounterCOffset) >> wire::kCounterCShift;
            r.value3 = wire::ReadU32(data + p + wire::kFullTimerOffset);
            break;
        case RecordLayout::Simple:
            r.value3 = wire::ReadU32(data + p + wire::kSimpleValueOffset);
            if (kind == static_cast<std::uint32_t>(RecordKind::UserEvent))
                r.value0 = r.value3;
            break;
        case RecordLayout::ExternalTs:
            if (kind != static_cast<std::uint32_t>(RecordKind::UserEvent)) {
                // Time from the byte three positions earlier to this record's first byte; bytes
                // before the first one since the reset count as no time.
                const std::uint64_t i = timing.deltaIndex + p;
                double sum = timing.Delta(i);
                if (i >= 1)
                    sum += timing.Delta(i - 1);
                if (i >= 2)
                    sum += timing.Delta(i - 2);
                r.value3 = ToTimeUnits(sum);
            }
            break;
        }
        out.push_back(r);
        p += recordSize;
    }

    if (p < n)
        carry_.assign(data + p, data + n);
    if (layout == RecordLayout::ExternalTs) {
        timing.deltaIndex += p;
        timing.Trim();
    }
    if (scan != nullptr)
        *scan = found;
    return true;
}

void RecordDecoder::Skip(std::uint8_t byte, RecordScan& scan) {
    if (byte != 0 && !unknownCounted_) {
        ++scan.unknownRecords;
        unknownCounted_ = true;
    }
}

} // namespace zuta
