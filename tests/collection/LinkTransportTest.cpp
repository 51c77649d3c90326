// The host side of the links over loopback TCP, against a peer that the test drives by hand.
#include "LinkTestSupport.h"
#include "link/HostLink.h"
#include "link/LinkFrame.h"
#include "link/TcpStream.h"

#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace zuta::link {
namespace {

using test::WaitUntil;

// The target's end: accepts the two connections of a HostLink and tells them apart.
struct Peer {
    Peer() {
        std::string error;
        EXPECT_TRUE(listener.Listen("127.0.0.1", 0, error)) << error;
    }
    void AcceptBoth() {
        for (int i = 0; i < 2; ++i) {
            ByteStreamPtr stream = listener.Accept(10000);
            ASSERT_TRUE(stream);
            FrameParser parser;
            std::vector<Frame> frames;
            std::uint8_t byte = 0;
            while (frames.empty()) {
                ASSERT_GT(stream->Read(&byte, 1, 10000), 0);
                ASSERT_TRUE(parser.Feed(&byte, 1, frames));
            }
            const auto hello = DecodeHello(frames[0].body);
            ASSERT_TRUE(hello);
            (hello->kind == LinkKind::Command ? command : data) = std::move(stream);
        }
    }
    void Write(IByteStream& stream, const Bytes& bytes) {
        ASSERT_TRUE(stream.WriteAll(bytes.data(), bytes.size()));
    }

    TcpListener listener;
    ByteStreamPtr command;
    ByteStreamPtr data;
};

// What the receive function got; the function gets no context, as the host calls it.
struct Received {
    std::mutex mutex;
    std::vector<Bytes> blocks;
    std::atomic<bool> holdNext{false};
    std::atomic<bool> entered{false};
    std::atomic<bool> release{false};
    std::atomic<bool> finished{false};

    Bytes All() {
        std::lock_guard lock(mutex);
        Bytes all;
        for (const Bytes& b : blocks)
            all.insert(all.end(), b.begin(), b.end());
        return all;
    }
};
Received* g_received = nullptr;

void Receive(const std::uint8_t* bytes, std::uint32_t length) {
    Received& r = *g_received;
    {
        std::lock_guard lock(r.mutex);
        r.blocks.emplace_back(bytes, bytes + length);
    }
    if (r.holdNext.exchange(false)) {
        r.entered = true;
        while (!r.release.load())
            std::this_thread::yield();
        r.finished = true;
    }
}

class LinkTransport : public ::testing::Test {
protected:
    void SetUp() override { g_received = &received; }
    void TearDown() override { g_received = nullptr; }

    std::unique_ptr<HostLink> Connect(HostLinkOptions options = {}) {
        auto link =
            std::make_unique<HostLink>(TcpLinkOpener("127.0.0.1", peer.listener.port()), options);
        EXPECT_TRUE(link->Open()) << link->lastError();
        peer.AcceptBoth();
        return link;
    }

    Received received;
    Peer peer;
};

Bytes Pattern(std::size_t n) {
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 31 + i / 251);
    return bytes;
}

TEST_F(LinkTransport, DataComesInOrderInBlocksOfAtMost1024Bytes) {
    HostLinkOptions options;
    options.coalesce = std::chrono::milliseconds(300); // no short block while the peer writes
    auto link = Connect(options);
    ASSERT_TRUE(link->RegisterReceiver(Receive, nullptr, 1024));
    const Bytes sent = Pattern(10000);
    for (std::size_t at = 0; at < sent.size(); at += 50)
        peer.Write(*peer.data, Bytes(sent.begin() + static_cast<std::ptrdiff_t>(at),
                                     sent.begin() + static_cast<std::ptrdiff_t>(at + 50)));
    ASSERT_TRUE(WaitUntil([&] { return link->dataBytesDelivered() == sent.size(); }));
    EXPECT_EQ(received.All(), sent);
    std::lock_guard lock(received.mutex);
    ASSERT_EQ(received.blocks.size(), 10u);
    for (std::size_t i = 0; i + 1 < received.blocks.size(); ++i)
        EXPECT_EQ(received.blocks[i].size(), 1024u);
}

TEST_F(LinkTransport, SmallerBlocksWhenTheReceiverAsksForThem) {
    auto link = Connect();
    ASSERT_TRUE(link->RegisterReceiver(Receive, nullptr, 100));
    peer.Write(*peer.data, Pattern(1000));
    ASSERT_TRUE(WaitUntil([&] { return link->dataBytesDelivered() == 1000; }));
    std::lock_guard lock(received.mutex);
    for (const Bytes& block : received.blocks)
        EXPECT_LE(block.size(), 100u);
}

TEST_F(LinkTransport, BytesWithoutAReceiverAreDropped) {
    auto link = Connect();
    peer.Write(*peer.data, Pattern(300));
    ASSERT_TRUE(WaitUntil([&] { return link->dataBytesReceived() == 300; }));
    ASSERT_TRUE(link->RegisterReceiver(Receive, nullptr, 1024));
    peer.Write(*peer.data, Bytes{1, 2, 3});
    ASSERT_TRUE(WaitUntil([&] { return link->dataBytesDelivered() == 3; }));
    EXPECT_EQ(received.All(), (Bytes{1, 2, 3}));
    link->UnregisterReceiver();
    peer.Write(*peer.data, Bytes{4});
    ASSERT_TRUE(WaitUntil([&] { return link->dataBytesReceived() == 304; }));
    EXPECT_EQ(link->dataBytesDelivered(), 3u);
}

TEST_F(LinkTransport, UnregisterWaitsForTheBlockInFlight) {
    auto link = Connect();
    ASSERT_TRUE(link->RegisterReceiver(Receive, nullptr, 1024));
    received.holdNext = true;
    peer.Write(*peer.data, Bytes{9});
    ASSERT_TRUE(WaitUntil([&] { return received.entered.load(); }));
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        received.release = true;
    });
    link->UnregisterReceiver();
    EXPECT_TRUE(received.finished.load());
    releaser.join();
}

// An endpoint that records what reaches it.
class RecordingEndpoint : public host::CommandLinkEndpoint {
public:
    explicit RecordingEndpoint(host::ICommandLink& link) : host::CommandLinkEndpoint(link) {
        Selector().Admit(host::kClassReply);
        AttachToLink();
    }
    ~RecordingEndpoint() override { DetachFromLink(); }
    std::vector<std::pair<std::uint32_t, Bytes>> Got() {
        std::lock_guard lock(mutex_);
        return got_;
    }

protected:
    void OnReceive(const host::HostMessage& message) override {
        std::lock_guard lock(mutex_);
        got_.emplace_back(message.port, Bytes(message.payload, message.payload + message.length));
    }

private:
    std::mutex mutex_;
    std::vector<std::pair<std::uint32_t, Bytes>> got_;
};

TEST_F(LinkTransport, MessagesReachTheEndpointAndSendersAreNamed) {
    auto link = Connect();
    RecordingEndpoint endpoint(*link);
    peer.Write(*peer.command, EncodeSender(0x31, 0x07, "DATA_COLLECTOR"));
    const Bytes message{4, 0, 0, 0, 0x31, 0, 0x07, 0};
    peer.Write(*peer.command, EncodeMessage(0, host::kClassData, message.data(), message.size()));
    peer.Write(*peer.command, EncodeMessage(31, host::kClassReply, message.data(), message.size()));
    peer.Write(*peer.command, EncodeMessage(1, host::kClassReply, message.data(), message.size()));
    ASSERT_TRUE(WaitUntil([&] { return endpoint.Got().size() == 1; }));
    EXPECT_EQ(endpoint.Got()[0].first, 1u); // class 2 not admitted, port 31 does not exist
    EXPECT_EQ(endpoint.Got()[0].second, message);
    std::string name;
    ASSERT_TRUE(link->SenderName(0x31, 0x07, name));
    EXPECT_EQ(name, "DATA_COLLECTOR");
    EXPECT_FALSE(link->SenderName(0x07, 0x31, name));
}

TEST_F(LinkTransport, CommandsAndRawBytesReachThePeerFramed) {
    auto link = Connect();
    const Bytes payload{1, 2, 3, 4};
    ASSERT_TRUE(link->SendCommand("DataCollector", "Collector", "TaskInfo", payload.data(),
                                  payload.size(), 0));
    const std::uint8_t wake = 0xAA;
    ASSERT_TRUE(link->SendRaw(0x04, &wake, 1));
    FrameParser parser;
    std::vector<Frame> frames;
    std::uint8_t buffer[256];
    ASSERT_TRUE(WaitUntil([&] {
        const long n = peer.command->Read(buffer, sizeof buffer, 10);
        if (n > 0)
            parser.Feed(buffer, static_cast<std::size_t>(n), frames);
        return frames.size() == 2;
    }));
    const auto command = DecodeCommand(frames[0].body);
    ASSERT_TRUE(command);
    EXPECT_EQ(command->command, "TaskInfo");
    EXPECT_EQ(command->payload, payload);
    const auto raw = DecodeRaw(frames[1].body);
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->portMask, 0x04u);
    EXPECT_EQ(raw->bytes, Bytes{0xAA});
}

class CountingObserver : public host::ILinkObserver {
public:
    explicit CountingObserver(HostLink& link) : link_(link) {}
    void OnLinkClosed() override {
        deliveredWhenTold = link_.dataBytesDelivered();
        ++closed;
    }
    std::atomic<int> closed{0};
    std::atomic<std::uint64_t> deliveredWhenTold{0};

private:
    HostLink& link_;
};

TEST_F(LinkTransport, PeerGoingAwayIsReportedAfterItsLastBytesAndTheLinkReopens) {
    auto link = Connect();
    CountingObserver observer(*link);
    link->SetObserver(&observer);
    ASSERT_TRUE(link->RegisterReceiver(Receive, nullptr, 1024));
    peer.Write(*peer.data, Pattern(2500));
    peer.command.reset();
    peer.data.reset();
    ASSERT_TRUE(WaitUntil([&] { return observer.closed.load() == 1; }));
    EXPECT_EQ(observer.deliveredWhenTold.load(), 2500u);
    EXPECT_FALSE(link->IsOpen());
    EXPECT_FALSE(link->SendCommand("DataCollector", "Collector", "Stop", nullptr, 0, 0));

    ASSERT_TRUE(link->Open()) << link->lastError();
    peer.AcceptBoth();
    EXPECT_TRUE(link->IsOpen());
    link->SetObserver(nullptr);
}

TEST_F(LinkTransport, AnUnframedCommandStreamClosesTheLink) {
    auto link = Connect();
    CountingObserver observer(*link);
    link->SetObserver(&observer);
    peer.Write(*peer.command, Bytes{'n', 'o', 'i', 's', 'e'});
    // The data stream stays quiet; once the command stream broke, the link is closed.
    ASSERT_TRUE(WaitUntil([&] { return observer.closed.load() == 1; }));
    EXPECT_NE(link->lastError().find("not framed"), std::string::npos);
    link->SetObserver(nullptr);
}

TEST_F(LinkTransport, OpeningWithoutATargetFails) {
    const std::uint16_t port = peer.listener.port();
    peer.listener.Close();
    Peer other;
    HostLink link(TcpLinkOpener("127.0.0.1", 1));
    EXPECT_FALSE(link.Open());
    EXPECT_FALSE(link.lastError().empty());
    EXPECT_FALSE(link.IsOpen());
    (void)port;
}

} // namespace
} // namespace zuta::link
