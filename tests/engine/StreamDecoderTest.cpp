#include "engine/StreamDecoder.h"

#include "engine/WireEncoder.h"

#include <gtest/gtest.h>

namespace zuta {
namespace {

using Bytes = std::vector<std::uint8_t>;

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
    Bytes payload;
    const Bytes eight{0x00, 0x41, 0x00, 0x00, 0x00, 0x42, 0x00, 0x00};
    StreamDecoder::ExtractUnframedPayload(eight.data(), eight.size(), payload);
    EXPECT_EQ(payload, (Bytes{0x41, 0x42}));
    payload.clear();
    const Bytes three{0x00, 0x41, 0x00};
    StreamDecoder::ExtractUnframedPayload(three.data(), three.size(), payload);
    EXPECT_TRUE(payload.empty());
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

} // namespace
} // namespace zuta
