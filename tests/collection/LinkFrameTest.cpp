// The framing of the command link over a byte stream.
#include "link/LinkFrame.h"

#include "link/TcpStream.h"

#include <gtest/gtest.h>

namespace zuta::link {
namespace {

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

TEST(LinkFrame, EncodesTheDocumentedLayout) {
    const Bytes message{1, 2, 3};
    const Bytes frame = EncodeMessage(5, 3, message.data(), message.size());
    EXPECT_EQ(frame, (Bytes{'Z', 'L', 4, 5, 4, 0, 0, 0, 3, 1, 2, 3}));
    const Bytes raw{0xAA};
    EXPECT_EQ(EncodeRaw(0x04, raw.data(), raw.size()),
              (Bytes{'Z', 'L', 3, 0, 5, 0, 0, 0, 0x04, 0, 0, 0, 0xAA}));
    EXPECT_EQ(EncodeHello(LinkKind::Data), (Bytes{'Z', 'L', 1, 0, 2, 0, 0, 0, 1, 2}));
}

TEST(LinkFrame, EveryBodyRoundTripsThroughTheParserWhateverTheChunking) {
    const Bytes payload{0xDE, 0xAD, 0xBE, 0xEF};
    const Bytes stream = Concat({
        EncodeHello(LinkKind::Command),
        EncodeCommand("DataCollector", "Collector", "Start", 7, payload.data(), payload.size()),
        EncodeRaw(0x10, payload.data(), 1),
        EncodeMessage(30, 2, payload.data(), payload.size()),
        EncodeSender(0x31, 0x07, "DATA_COLLECTOR"),
    });
    std::vector<Frame> frames;
    for (std::size_t chunk = 1; chunk <= stream.size(); chunk += 3) {
        SCOPED_TRACE(chunk);
        FrameParser parser;
        frames.clear();
        for (std::size_t at = 0; at < stream.size(); at += chunk)
            ASSERT_TRUE(
                parser.Feed(stream.data() + at, std::min(chunk, stream.size() - at), frames));
        EXPECT_EQ(parser.pending(), 0u);
        // The frames written out again are the stream.
        Bytes again;
        for (const Frame& f : frames)
            again = Concat(
                {again, EncodeFrame(FrameType{f.type}, f.port, f.body.data(), f.body.size())});
        ASSERT_EQ(again, stream);
    }
    // Bodies the end-to-end collection does not check: the command's flags and the raw send.
    EXPECT_EQ(DecodeCommand(frames[1].body).value().flags, 7u);
    const RawBody raw = DecodeRaw(frames[2].body).value();
    EXPECT_EQ(raw.portMask, 0x10u);
    EXPECT_EQ(raw.bytes, Bytes{0xDE});
}

TEST(LinkFrame, AStreamThatIsNotFramedBreaksTheParserForGood) {
    struct Case {
        const char* what;
        Bytes bytes;
    };
    const Case cases[] = {
        {"wrong first byte", {'X'}},
        {"wrong second byte", {'Z', 'Q'}},
        {"body too long", {'Z', 'L', 4, 0, 0x01, 0x00, 0x02, 0x00}},
        {"text after a good frame", Concat({EncodeHello(LinkKind::Data), Bytes{'h', 'i'}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FrameParser parser;
        std::vector<Frame> frames;
        EXPECT_FALSE(parser.Feed(c.bytes.data(), c.bytes.size(), frames));
        EXPECT_TRUE(parser.broken());
        const Bytes good = EncodeHello(LinkKind::Data);
        EXPECT_FALSE(parser.Feed(good.data(), good.size(), frames));
        EXPECT_EQ(parser.pending(), 0u);
    }
}

TEST(LinkFrame, BodiesTooShortForTheirTypeAreRefused) {
    EXPECT_FALSE(DecodeHello({1}));
    EXPECT_FALSE(DecodeHello({1, 9})); // no such link
    EXPECT_FALSE(DecodeCommand({}));
    EXPECT_FALSE(DecodeCommand({5, 'a', 'b'}));            // text cut short
    EXPECT_FALSE(DecodeCommand({1, 'a', 1, 'b', 1, 'c'})); // no flags
    EXPECT_TRUE(DecodeCommand({1, 'a', 1, 'b', 1, 'c', 0, 0, 0, 0}));
    EXPECT_FALSE(DecodeRaw({1, 2, 3}));
    EXPECT_FALSE(DecodeMessage({}));
    EXPECT_FALSE(DecodeSender({1, 0, 2}));
    const auto nameless = DecodeSender({1, 0, 2, 0});
    ASSERT_TRUE(nameless);
    EXPECT_TRUE(nameless->name.empty());
}

TEST(LinkFrame, TextsLongerThanALengthByteCannotBeEncoded) {
    EXPECT_TRUE(EncodeCommand(std::string(256, 'a'), "Collector", "Start", 0, nullptr, 0).empty());
    EXPECT_FALSE(EncodeCommand(std::string(255, 'a'), "Collector", "Start", 0, nullptr, 0).empty());
    const Bytes big(kMaxFrameBody + 1, 0);
    EXPECT_TRUE(EncodeFrame(FrameType::Message, 0, big.data(), big.size()).empty());
}

TEST(LinkAddress, HostAndPort) {
    struct Case {
        const char* text;
        bool ok;
        const char* host;
        std::uint16_t port;
    };
    const Case cases[] = {
        {"127.0.0.1:5170", true, "127.0.0.1", 5170}, {":80", true, "127.0.0.1", 80},
        {"board.local:0", true, "board.local", 0},   {"127.0.0.1", false, "", 0},
        {"127.0.0.1:65536", false, "", 0},           {"127.0.0.1:12ab", false, "", 0},
        {"[::1]:5170", true, "::1", 5170},           {"::1:5170", false, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string host;
        std::uint16_t port = 1;
        ASSERT_EQ(ParseHostPort(c.text, host, port), c.ok);
        if (c.ok) {
            EXPECT_EQ(host, c.host);
            EXPECT_EQ(port, c.port);
        }
    }
}

} // namespace
} // namespace zuta::link
