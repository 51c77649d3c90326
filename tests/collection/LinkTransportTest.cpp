// The host side of the links over loopback TCP, against a peer that the test drives by hand.
#include "link/HostLink.h"
#include "link/LinkFrame.h"
#include "link/TcpStream.h"
#include "support/Wait.h"

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
            const bool isCommand = DecodeHello(frames[0].body).value().kind == LinkKind::Command;
            (isCommand ? command : data) = std::move(stream);
        }
    }
    void Write(IByteStream& stream, const Bytes& bytes) {
        ASSERT_TRUE(stream.WriteAll(bytes.data(), bytes.size()));
    }

    TcpListener listener;
    ByteStreamPtr command;
    ByteStreamPtr data;
};

// What the receive function got, as its context.
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
void Receive(void* context, const std::uint8_t* bytes, std::uint32_t length) {
    Received& r = *static_cast<Received*>(context);
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
    std::unique_ptr<HostLink> Connect(HostLinkOptions options = {}) {
        auto link =
            std::make_unique<HostLink>(TcpLinkOpener("127.0.0.1", peer.listener.port()), options);
        EXPECT_TRUE(link->Open({})) << link->lastError();
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

TEST_F(LinkTransport, DataComesInOrderInFullBlocksOfTheSizeTheReceiverAsks) {
    HostLinkOptions options;
    options.coalesce = std::chrono::milliseconds(300); // no short block while the peer writes
    auto link = Connect(options);
    std::size_t sent = 0;
    for (const std::uint32_t maxBlock : {1024u, 100u}) {
        SCOPED_TRACE(maxBlock);
        Received got;
        ASSERT_TRUE(link->RegisterReceiver(Receive, nullptr, maxBlock, &got));
        const Bytes bytes = Pattern(10 * maxBlock - maxBlock / 2);
        for (std::size_t at = 0; at < bytes.size(); at += 50) {
            const auto from = bytes.begin() + static_cast<std::ptrdiff_t>(at);
            peer.Write(*peer.data,
                       Bytes(from, from + std::min<std::ptrdiff_t>(50, bytes.end() - from)));
        }
        sent += bytes.size();
        ASSERT_TRUE(WaitUntil([&] { return link->dataBytesDelivered() == sent; }));
        link->UnregisterReceiver(&got);
        EXPECT_EQ(got.All(), bytes);
        ASSERT_EQ(got.blocks.size(), 10u);
        for (std::size_t i = 0; i + 1 < got.blocks.size(); ++i)
            EXPECT_EQ(got.blocks[i].size(), maxBlock);
    }
}

TEST_F(LinkTransport, OneReceiverHoldsTheLinkUntilItsBlockIsDoneAndBytesWithoutOneAreDropped) {
    auto link = Connect();
    peer.Write(*peer.data, Pattern(300));
    ASSERT_TRUE(WaitUntil([&] { return link->dataBytesReceived() == 300; }));
    ASSERT_TRUE(link->RegisterReceiver(Receive, nullptr, 1024, &received));
    // Another collection can neither take the link over nor release it.
    Received other;
    EXPECT_FALSE(link->RegisterReceiver(Receive, nullptr, 1024, &other));
    link->UnregisterReceiver(&other);
    peer.Write(*peer.data, Bytes{1, 2, 3});
    ASSERT_TRUE(WaitUntil([&] { return link->dataBytesDelivered() == 3; }));
    EXPECT_EQ(received.All(), (Bytes{1, 2, 3}));

    // Unregistering waits for the block in flight.
    received.holdNext = true;
    peer.Write(*peer.data, Bytes{9});
    ASSERT_TRUE(WaitUntil([&] { return received.entered.load(); }));
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        received.release = true;
    });
    link->UnregisterReceiver(&received);
    EXPECT_TRUE(received.finished.load());
    releaser.join();

    peer.Write(*peer.data, Bytes{4});
    ASSERT_TRUE(WaitUntil([&] { return link->dataBytesReceived() == 305; }));
    EXPECT_EQ(link->dataBytesDelivered(), 4u);
    EXPECT_TRUE(link->RegisterReceiver(Receive, nullptr, 1024, &other));
    EXPECT_TRUE(other.All().empty());
}

class CountingObserver : public host::ILinkObserver {
public:
    void OnLinkClosed() override { ++closed; }
    std::atomic<int> closed{0};
};

TEST_F(LinkTransport, AnUnframedCommandStreamClosesTheLink) {
    auto link = Connect();
    CountingObserver observer;
    link->AddObserver(&observer);
    peer.Write(*peer.command, Bytes{'n', 'o', 'i', 's', 'e'});
    // The data stream stays quiet; once the command stream broke, the link is closed.
    ASSERT_TRUE(WaitUntil([&] { return observer.closed.load() == 1; }));
    EXPECT_NE(link->lastError().find("not framed"), std::string::npos);
    link->RemoveObserver(&observer);
}

} // namespace
} // namespace zuta::link
