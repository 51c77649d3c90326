#include "engine/RecordDecoder.h"

#include "engine/StreamDecoder.h"
#include "engine/WireEncoder.h"
#include "engine/WireFormat.h"

#include <gtest/gtest.h>

namespace zuta {
namespace {

using wire::Bytes;

struct Decoded {
    bool ok = false;
    std::vector<SampleRecord> records;
    std::vector<std::pair<std::uint32_t, Bytes>> blocks;
    RecordScan scan;
};

Decoded DecodeAll(RecordDecoder& d, const Bytes& payload, RecordLayout layout,
                  StreamTiming& timing) {
    Decoded out;
    out.ok = d.DecodeRecords(
        payload.data(), payload.size(), layout, timing, out.records,
        [&](const RawDataBlock& b) {
            out.blocks.emplace_back(b.id, Bytes(b.data, b.data + b.length));
        },
        &out.scan);
    return out;
}

Decoded DecodeAll(const Bytes& payload, RecordLayout layout) {
    RecordDecoder d;
    StreamTiming timing;
    return DecodeAll(d, payload, layout, timing);
}

SampleRecord R(std::uint32_t id, std::uint32_t v0, std::uint32_t v1, std::uint32_t v2,
               std::uint32_t v3, RecordKind kind) {
    return SampleRecord{id, v0, v1, v2, v3, 0, static_cast<std::uint32_t>(kind)};
}

TEST(RecordDecoder, FullAndSimpleRecordsOfEveryKind) {
    Bytes full;
    wire::AppendFullRecord(full, RecordKind::TaskSwitch, 5, 100, 7, 80, 3);
    wire::AppendFullRecord(full, RecordKind::UserEvent, 2, 1, 2, 3, 4);
    wire::AppendFullRecord(full, RecordKind::IrqSwitch, 7, 0, 0, 0, 9);
    wire::AppendFullRecord(full, RecordKind::FunctionEnter, 9, 0xFFFFFFFF, 0, 15, 0);
    wire::AppendFullRecord(full, RecordKind::FunctionExit, 255, 0, 0, 0, 0);
    EXPECT_EQ(DecodeAll(full, RecordLayout::Full).records,
              (std::vector<SampleRecord>{
                  R(1005, 100, 7, 10, 3, RecordKind::TaskSwitch),
                  R(2002, 1, 2, 0, 4, RecordKind::UserEvent),
                  R(7, 0, 0, 0, 9, RecordKind::IrqSwitch),
                  R(5009, 0xFFFFFFFF, 0, 1, 0, RecordKind::FunctionEnter),
                  R(5255, 0, 0, 0, 0, RecordKind::FunctionExit),
              }));

    Bytes simple;
    wire::AppendSimpleRecord(simple, RecordKind::TaskSwitch, 5, 250);
    wire::AppendSimpleRecord(simple, RecordKind::UserEvent, 1, 9);
    wire::AppendSimpleRecord(simple, RecordKind::IrqSwitch, 4, 0); // needs 7 bytes: all present
    EXPECT_EQ(DecodeAll(simple, RecordLayout::Simple).records,
              (std::vector<SampleRecord>{
                  R(1005, 0, 0, 0, 250, RecordKind::TaskSwitch),
                  R(2001, 9, 0, 0, 9, RecordKind::UserEvent),
                  R(4, 0, 0, 0, 0, RecordKind::IrqSwitch),
              }));
}

TEST(RecordDecoder, StrayBytesAreSkippedAndShortTailsCarried) {
    Bytes p{0x01, 0x02, 0x55};
    wire::AppendFullRecord(p, RecordKind::TaskSwitch, 1, 1, 2, 3, 4);
    p.insert(p.end(), {0x55, 0xAA, 0x02, 1, 2, 3, 4, 5, 6, 7}); // a header with 10 bytes
    RecordDecoder d;
    StreamTiming timing;
    Decoded first = DecodeAll(d, p, RecordLayout::Full, timing);
    ASSERT_EQ(first.records.size(), 1u);
    EXPECT_EQ(first.records[0].id, 1001u);
    EXPECT_EQ(d.carrySize(), 10u);
    // An empty payload is refused and keeps the carry.
    EXPECT_FALSE(DecodeAll(d, {}, RecordLayout::Full, timing).ok);
    EXPECT_EQ(d.carrySize(), 10u);
    const Decoded second = DecodeAll(d, Bytes(9, 0), RecordLayout::Full, timing);
    ASSERT_EQ(second.records.size(), 1u);
    EXPECT_EQ(second.records[0].id, 1002u);
    EXPECT_EQ(second.records[0].value0, 0x04030201u);
}

TEST(RecordDecoder, RawBlockLongerThanOneBatchIsCarriedUntilWhole) {
    Bytes p;
    wire::AppendRawBlock(p, 9, Bytes(5000, 0x5A));
    wire::AppendFullRecord(p, RecordKind::TaskSwitch, 1, 0, 0, 0, 0);
    RecordDecoder d;
    StreamTiming timing;
    std::size_t blocks = 0;
    std::size_t records = 0;
    for (std::size_t at = 0; at < p.size(); at += 1024) {
        const Bytes part(p.begin() + at, p.begin() + std::min(p.size(), at + 1024));
        const Decoded got = DecodeAll(d, part, RecordLayout::Full, timing);
        blocks += got.blocks.size();
        records += got.records.size();
        // Every part holds a piece of the block: it is open, or it was taken whole.
        EXPECT_TRUE(got.scan.rawBlockOpen || got.scan.rawBlocks == 1) << "part at " << at;
        if (!got.blocks.empty()) {
            EXPECT_EQ(got.blocks[0].second.size(), 5000u);
        }
    }
    EXPECT_EQ(blocks, 1u);
    EXPECT_EQ(records, 1u);
}

// A stretch of bytes that names no record counts once; zero filler does not count.
TEST(RecordDecoder, UnknownRecordsCountTheStretchesSearchedThrough) {
    const auto record = [](Bytes& p) {
        wire::AppendFullRecord(p, RecordKind::TaskSwitch, 1, 0, 0, 0, 0);
    };
    struct Case {
        const char* name;
        Bytes between;
        std::size_t unknown;
    };
    const Case cases[] = {
        {"nothing", {}, 0},
        {"stray bytes", {0x01, 0x02, 0x55}, 1},
        {"zero filler", {0, 0, 0, 0}, 0},
        {"filler then a stray byte", {0, 0, 0x07, 0}, 1},
        {"an unknown header", {0x55, 0x77, 0x01}, 1},
        {"a raw block of impossible length", {0x55, 0x88, 0x01, 0xFF, 0xFF, 0xFF, 0x7F}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes p;
        record(p);
        p.insert(p.end(), c.between.begin(), c.between.end());
        record(p);
        p.insert(p.end(), c.between.begin(), c.between.end());
        record(p);
        const Decoded got = DecodeAll(p, RecordLayout::Full);
        EXPECT_EQ(got.records.size(), 3u);
        EXPECT_EQ(got.scan.unknownRecords, 2 * c.unknown);
    }
}

TEST(RecordDecoder, ExternalTsRecordsAreTimedFromTheStream) {
    // Payload bytes 0..7 with known time differences.
    RecordDecoder d;
    StreamTiming timing;
    timing.deltas = {0.0, 1e-6, 2e-6, 3e-6, 4e-6, 5e-6, 6e-6, 7e-6, 8e-6, 9e-6, 1e-5};
    Bytes p;
    wire::AppendExtTsRecord(p, RecordKind::TaskSwitch, 1); // bytes 0..2: only d[0] exists
    wire::AppendExtTsRecord(p, RecordKind::UserEvent, 2);  // bytes 3..5: no time
    wire::AppendExtTsRecord(p, RecordKind::IrqSwitch, 3);  // bytes 6..8
    p.insert(p.end(), {0, 0, 0, 0}); // so that the third record has the 7 bytes it needs
    const Decoded got = DecodeAll(d, p, RecordLayout::ExternalTs, timing);
    ASSERT_EQ(got.records.size(), 3u);
    EXPECT_EQ(got.records[0].value3, 0u);
    EXPECT_EQ(got.records[1], R(2002, 0, 0, 0, 0, RecordKind::UserEvent));
    // (d[6] + d[5] + d[4]) * 1e10 = 15e-6 * 1e10
    EXPECT_EQ(got.records[2].value3, 150000u);
    EXPECT_EQ(got.records[2].id, 3u);
    // Nine bytes consumed, four carried (they are counted once consumed).
    EXPECT_EQ(timing.deltaIndex, 9u);
    EXPECT_EQ(d.carrySize(), 4u);

    // Unframed data produces no time differences.
    RecordDecoder unframed;
    StreamTiming none;
    p.clear();
    for (std::uint8_t i = 0; i < 5; ++i)
        wire::AppendExtTsRecord(p, RecordKind::TaskSwitch, i);
    p.insert(p.end(), 4, 0);
    const Decoded untimed = DecodeAll(unframed, p, RecordLayout::ExternalTs, none);
    ASSERT_EQ(untimed.records.size(), 5u);
    for (const SampleRecord& r : untimed.records)
        EXPECT_EQ(r.value3, 0u);
    // A header without the seven bytes a record needs waits for them.
    RecordDecoder fresh;
    EXPECT_TRUE(DecodeAll(fresh, {0x55, 0xAA, 0x04, 0x00, 0x00}, RecordLayout::ExternalTs, none)
                    .records.empty());
    EXPECT_EQ(fresh.carrySize(), 5u);
}

} // namespace
} // namespace zuta
