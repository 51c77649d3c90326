#pragma once

#include "engine/Records.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace zuta {

struct StreamTiming;

enum class RecordLayout { Full, Simple, ExternalTs };

// A raw data block sent by the collector in full mode.
struct RawDataBlock {
    std::uint32_t id = 0;
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
};

// What one call of DecodeRecords met besides records.
struct RecordScan {
    // Places where the bytes named no record, so the decoder searched on for the next header.
    // A stretch of zero bytes, the filler a collector sends after the last record of a write, is
    // not counted.
    std::size_t unknownRecords = 0;
    // Raw data blocks taken whole.
    std::size_t rawBlocks = 0;
    // A raw data block with a sound header waits for the rest of its data.
    bool rawBlockOpen = false;
};

// Cuts payload bytes into sample records. Accepts any split of the payload.
class RecordDecoder {
public:
    using RawBlockHandler = std::function<void(const RawDataBlock&)>;

    // Appends the records found in `payload` to `out`. Refuses (false, nothing consumed) an empty
    // payload. In external-TS mode the records are timed from `timing`, whose deltaIndex advances
    // by the bytes consumed. With `scan`, reports what else the payload held.
    bool DecodeRecords(const std::uint8_t* payload, std::size_t count, RecordLayout layout,
                       StreamTiming& timing, std::vector<SampleRecord>& out,
                       const RawBlockHandler& onRawBlock, RecordScan* scan = nullptr);
    void ClearCarry() {
        carry_.clear();
        unknownCounted_ = false;
    }
    std::size_t carrySize() const { return carry_.size(); }

private:
    // Counts a skipped byte: the first one that is not zero in a stretch is one unknown record.
    void Skip(std::uint8_t byte, RecordScan& scan);

    // Leftover-bytes invariant: carry_ holds the unconsumed tail of the previous payload, which
    // never holds a whole record: fewer bytes than one record needs, or a raw data block cut short
    // (header and at most kMaxRawBlockLength data bytes). It is put in front of the next payload.
    std::vector<std::uint8_t> carry_;
    std::vector<std::uint8_t> joined_;
    // The stretch of skipped bytes being searched through is counted already.
    bool unknownCounted_ = false;
};

} // namespace zuta
