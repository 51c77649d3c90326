// The engine's readers of raw bytes: the framed stream of the data link, the records in its payload
// and capture files.
#include "engine/Capture.h"
#include "engine/RecordDecoder.h"
#include "engine/StreamDecoder.h"
#include "engine/WireEncoder.h"
#include "engine/WireFormat.h"
#include "support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace zuta {
namespace {

using wire::Bytes;

Bytes Decode(StreamDecoder& d, const Bytes& batch, StreamTiming* timing = nullptr,
             std::size_t* skipped = nullptr) {
    Bytes payload;
    const std::size_t n = d.DecodeFramedStream(batch.data(), batch.size(), payload, timing);
    if (skipped != nullptr)
        *skipped += n;
    return payload;
}

TEST(StreamDecoder, FrameMarkersAndStrayBytes) {
    struct Case {
        const char* name;
        Bytes batch;
        Bytes payload;
        std::uint32_t wraps;
        std::size_t carried;
        std::size_t skipped;
    };
    const Case cases[] = {
        {"one frame", {0x02, 0x15, 0x41, 0x00, 0xFE, 0xFF}, {0x41}, 0, 0, 0},
        {"marker, frame", {0x17, 0xFF, 0x00, 0x15, 0x41, 0x00, 0xFF, 0xFF}, {0x41}, 1, 0, 0},
        {"ff17 marker", {0xFF, 0x17, 0x00, 0x15, 0x42, 0x00, 0xFF, 0xFF}, {0x42}, 1, 0, 0},
        {"marker at the end", {0x00, 0x15, 0x41, 0x00, 0xFF, 0xFF, 0xFF, 0x17}, {0x41}, 1, 0, 0},
        {"no tag after sub-tick 4", {0x04, 0x15, 0x41, 0x00, 0xFF, 0xFF, 0x00}, {}, 0, 5, 2},
        {"stray bytes first", {0x99, 0x98, 0x01, 0x15, 0x43, 0x00, 0x00, 0x00}, {0x43}, 0, 0, 2},
        {"stray byte carried", {0x00, 0x15, 0x41, 0x00, 0xFF, 0xFF, 0x07}, {0x41}, 0, 1, 0},
        {"only markers", {0xFF, 0x17, 0x17, 0xFF}, {}, 2, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StreamDecoder d;
        StreamTiming timing;
        Bytes payload;
        EXPECT_EQ(d.DecodeFramedStream(c.batch.data(), c.batch.size(), payload, &timing),
                  c.skipped);
        EXPECT_EQ(payload, c.payload);
        EXPECT_EQ(timing.wrapCount, c.wraps);
        EXPECT_EQ(d.carrySize(), c.carried);
    }
}

TEST(StreamDecoder, AnySplitOfTheStreamGivesTheSamePayloadAndTimes) {
    Bytes payload;
    for (int i = 0; i < 40; ++i)
        payload.push_back(static_cast<std::uint8_t>(i * 37));
    Bytes stream{0x33, 0x34};       // stray bytes first
    wire::FrameWriter writer(9000); // wraps every few bytes
    writer.Append(stream, payload);

    StreamDecoder whole;
    StreamTiming wholeTiming;
    const Bytes expected = Decode(whole, stream, &wholeTiming);
    ASSERT_EQ(expected, payload);
    ASSERT_GT(wholeTiming.wrapCount, 3u);

    // Every third split has an empty batch in the middle.
    for (std::size_t cut1 = 0; cut1 <= stream.size(); cut1 += 1) {
        const std::size_t cut2 = cut1 % 3 == 0 ? cut1 : (cut1 + stream.size()) / 2;
        StreamDecoder d;
        StreamTiming timing;
        std::size_t skipped = 0;
        Bytes got = Decode(d, Bytes(stream.begin(), stream.begin() + cut1), &timing, &skipped);
        const Bytes b =
            Decode(d, Bytes(stream.begin() + cut1, stream.begin() + cut2), &timing, &skipped);
        const Bytes c = Decode(d, Bytes(stream.begin() + cut2, stream.end()), &timing, &skipped);
        got.insert(got.end(), b.begin(), b.end());
        got.insert(got.end(), c.begin(), c.end());
        ASSERT_EQ(got, expected) << "cut at " << cut1 << " and " << cut2;
        ASSERT_EQ(timing.wrapCount, wholeTiming.wrapCount);
        ASSERT_EQ(timing.deltas, wholeTiming.deltas);
        ASSERT_EQ(skipped, 2u) << "cut at " << cut1 << " and " << cut2;
    }
}

TEST(StreamDecoder, ExternalTimestampTiming) {
    StreamDecoder d;
    StreamTiming timing;
    Decode(d, {0x02, 0x15, 0x41, 0x00, 0xFE, 0xFF}, &timing);
    ASSERT_EQ(timing.deltas.size(), 1u);
    EXPECT_EQ(timing.deltas[0], 0.0); // the first byte since the reset
    EXPECT_DOUBLE_EQ(timing.lastByteTime, 1.0 / 12000000.0 + 2 * (1.0 / 48000000.0));

    // A wrap adds 65536 ticks of 12 MHz.
    Decode(d, {0xFF, 0x17, 0x00, 0x15, 0x42, 0x00, 0xFE, 0xFF}, &timing);
    ASSERT_EQ(timing.deltas.size(), 2u);
    EXPECT_NEAR(timing.deltas[1], 65536.0 / 12000000.0 - 2 * (1.0 / 48000000.0), 1e-15);
}

TEST(StreamDecoder, UnframedTakesTheSecondByteOfWholeUnits) {
    // Two whole units of four bytes and three bytes of a third.
    const Bytes units{0x00, 0x41, 0x00, 0x00, 0x00, 0x42, 0x00, 0x00, 0x00, 0x43, 0x00};
    Bytes payload;
    StreamDecoder::ExtractUnframedPayload(units.data(), units.size(), payload);
    EXPECT_EQ(payload, (Bytes{0x41, 0x42}));
}

TEST(StreamTiming, TrimKeepsWhatRecordsCanStillNeed) {
    StreamTiming t;
    for (int i = 0; i < 20000; ++i)
        t.deltas.push_back(i);
    t.deltaIndex = 15000;
    t.Trim();
    EXPECT_EQ(t.Delta(14998), 14998.0);
    EXPECT_EQ(t.Delta(19999), 19999.0);
    EXPECT_EQ(t.Delta(20000), 0.0);
    EXPECT_LT(t.deltas.size(), 20000u);
}

struct Decoded {
    std::vector<SampleRecord> records;
    std::vector<std::pair<std::uint32_t, Bytes>> blocks;
    RecordScan scan;
};

Decoded DecodeAll(RecordDecoder& d, const Bytes& payload, RecordLayout layout,
                  StreamTiming& timing) {
    Decoded out;
    d.DecodeRecords(
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

TEST(Capture, DamagedFilesAreReported) {
    const test::TempFolder folder;
    const std::string path = folder / "bad.zcap";
    struct Case {
        std::string bytes;
        const char* error;
    };
    const Case cases[] = {
        {"NOTACAPT", "not a ZUTA capture"},
        {std::string("ZUTACAP1\x09", 9) + std::string(16, '\0'), "unknown capture record kind 9"},
        {std::string("ZUTACAP1\x02", 9) + std::string(12, '\0') + std::string("\0\0\0\x02", 4),
         "larger than any link delivers"},
    };
    for (const Case& c : cases) {
        test::WriteFileBytes(path, c.bytes);
        CaptureReader reader;
        std::string error;
        CaptureRecord r;
        if (reader.Open(path, error)) {
            EXPECT_FALSE(reader.Next(r, error));
        }
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

// A capture whose writer was killed: it ends anywhere inside its last record, and may still have
// the name it had while it was written. It reads up to its last whole record, with warnings.
TEST(Capture, CaptureCutShortReadsUpToItsLastWholeRecord) {
    const test::TempFolder folder;
    const std::string path = folder / "run.zcap";
    CaptureWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(path, error)) << error;
    for (std::uint8_t i = 0; i < 3; ++i)
        writer.Write(CaptureKind::DataBlock, 1, i, std::vector<std::uint8_t>(10, i).data(), 10);
    EXPECT_FALSE(std::filesystem::exists(path)); // appears only once complete
    ASSERT_TRUE(writer.Close(error)) << error;
    const std::string whole = test::ReadFileBytes(path);
    const std::size_t recordSize = kCaptureRecordHeaderSize + 10;
    ASSERT_EQ(whole.size(), 8 + 3 * recordSize);
    EXPECT_TRUE(IsCapturePath(path));
    EXPECT_TRUE(IsCapturePath(path + ".part"));
    EXPECT_FALSE(IsCapturePath(folder / "run.zuta"));

    for (std::size_t cut = 8 + 2 * recordSize; cut <= whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        const std::string bytes = whole.substr(0, cut);
        const bool cutInside = cut > 8 + 2 * recordSize && cut < whole.size();
        const std::string part = path + ".part";
        test::WriteFileBytes(part, bytes);
        CaptureReader fromFile;
        CaptureReader fromMemory;
        ASSERT_TRUE(fromFile.Open(part, error));
        ASSERT_TRUE(fromMemory.OpenMemory(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                          bytes.size(), error));
        for (CaptureReader* reader : {&fromFile, &fromMemory}) {
            CaptureRecord r;
            std::size_t records = 0;
            while (reader->Next(r, error)) {
                EXPECT_EQ(r.micros, records);
                EXPECT_EQ(r.bytes,
                          std::vector<std::uint8_t>(10, static_cast<std::uint8_t>(records)));
                ++records;
            }
            EXPECT_TRUE(error.empty()) << error;
            EXPECT_EQ(records, cut == whole.size() ? 3u : 2u);
            const bool named = reader == &fromFile;
            ASSERT_EQ(reader->warnings().size(), (named ? 1u : 0u) + (cutInside ? 1u : 0u));
            if (named) {
                EXPECT_NE(reader->warnings().front().find("never finished"), std::string::npos);
            }
            if (cutInside) {
                const std::string where = cut < 8 + 2 * recordSize + kCaptureRecordHeaderSize
                                              ? "a record header"
                                              : "a record";
                EXPECT_NE(reader->warnings().back().find("ends inside " + where + " at offset " +
                                                         std::to_string(8 + 2 * recordSize)),
                          std::string::npos)
                    << reader->warnings().back();
            }
        }
    }
}

} // namespace
} // namespace zuta
