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

// Cuts payload bytes into sample records. Accepts any split of the payload.
class RecordDecoder {
public:
    using RawBlockHandler = std::function<void(const RawDataBlock&)>;

    // Appends the records found in `payload` to `out`. Refuses (false, nothing consumed) an empty
    // payload. In external-TS mode the records are timed from `timing`, whose deltaIndex advances
    // by the bytes consumed.
    bool DecodeRecords(const std::uint8_t* payload, std::size_t count, RecordLayout layout,
                       StreamTiming& timing, std::vector<SampleRecord>& out,
                       const RawBlockHandler& onRawBlock);
    void ClearCarry() { carry_.clear(); }
    std::size_t carrySize() const { return carry_.size(); }

private:
    // Leftover-bytes invariant: carry_ holds the unconsumed tail of the previous payload, which
    // never holds a whole record: fewer bytes than one record needs, or a raw data block cut short
    // (header and at most kMaxRawBlockLength data bytes). It is put in front of the next payload.
    std::vector<std::uint8_t> carry_;
    std::vector<std::uint8_t> joined_;
};

} // namespace zuta
