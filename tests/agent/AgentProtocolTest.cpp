// The simulated agent as a peer on the wire: what it answers to a raw client.
#include "agent/CollectorAgent.h"
#include "engine/WireEncoder.h"
#include "engine/WireFormat.h"
#include "link/LinkFrame.h"
#include "link/TcpStream.h"
#include "support/Wait.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <optional>

namespace zuta::agent {
namespace {

// A client that speaks the command link frame by frame, after its first bytes.
struct Client {
    Client(std::uint16_t port, const link::Bytes& greeting) {
        std::string error;
        stream = link::ConnectTcp("127.0.0.1", port, error, greeting);
        EXPECT_TRUE(stream) << error;
    }
    explicit Client(std::uint16_t port, link::LinkKind kind = link::LinkKind::Command)
        : Client(port, link::EncodeHello(kind)) {}

    void Command(const std::string& command, const wire::Bytes& payload,
                 const std::string& agent = "DataCollector") {
        const link::Bytes frame =
            link::EncodeCommand(agent, "Collector", command, 0, payload.data(), payload.size());
        ASSERT_TRUE(stream->WriteAll(frame.data(), frame.size()));
    }
    // The next frame; none when the connection closed or nothing came within the time given.
    std::optional<link::Frame> Next(std::chrono::milliseconds within = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + within;
        std::uint8_t buffer[4096];
        while (!closed && pending.empty() && std::chrono::steady_clock::now() < deadline) {
            const long n = stream->Read(buffer, sizeof buffer, 50);
            closed = n < 0;
            EXPECT_TRUE(closed || parser.Feed(buffer, static_cast<std::size_t>(n), pending));
        }
        if (pending.empty())
            return std::nullopt;
        link::Frame frame = pending.front();
        pending.erase(pending.begin());
        return frame;
    }
    // The type of the agent message in the next frame, its payload put in `payload`; none when
    // that frame holds no agent message.
    std::optional<std::uint32_t> NextMessage(wire::Bytes* payload = nullptr) {
        const auto frame = Next();
        if (!frame || frame->type != static_cast<std::uint8_t>(link::FrameType::Message))
            return std::nullopt;
        const auto body = link::DecodeMessage(frame->body);
        if (!body || body->message.size() < wire::kMessagePayloadOffset)
            return std::nullopt;
        if (payload != nullptr)
            payload->assign(body->message.begin() + wire::kMessagePayloadOffset,
                            body->message.end());
        return wire::ReadU32(body->message.data() + wire::kMessageTypeOffset);
    }
    // True once a message of `type` arrives; false when the messages stop first.
    bool AwaitMessage(std::uint32_t type) {
        for (auto got = NextMessage(); got; got = NextMessage())
            if (*got == type)
                return true;
        return false;
    }
    // True once the agent closed the connection (after what it sent before), false when it is
    // still open after a while.
    bool Closed() { return Next() ? Closed() : closed; }

    link::ByteStreamPtr stream;
    link::FrameParser parser;
    std::vector<link::Frame> pending;
    bool closed = false;
};

struct Served {
    Served() {
        AgentOptions options;
        options.seed = 5;
        options.holdStream = true;
        agent = std::make_unique<CollectorAgent>(options);
        agent->SetLog([this](std::string_view line) {
            dataLinks += line.starts_with("data link connected");
        });
        std::string error;
        EXPECT_TRUE(agent->Start(error)) << error;
    }
    // Data links the agent took; it says so only in its log.
    std::atomic<int> dataLinks{0};
    std::unique_ptr<CollectorAgent> agent;
};

TEST(AgentProtocol, AnnouncesItsIdentityAndAnswersOnlyItsOwnCommands) {
    Served served;
    Client client(served.agent->port());
    const auto sender = client.Next();
    ASSERT_TRUE(sender);
    EXPECT_EQ(link::DecodeSender(sender->body).value().name, "DATA_COLLECTOR");

    // A command for another agent and a request for a task it does not have go unanswered.
    client.Command("Start", wire::StartPayload(0, 0, 0), "SomeoneElse");
    client.Command("TaskInfo", wire::TaskInfoRequestPayload(200));
    client.Command("TaskInfo", wire::TaskInfoRequestPayload(1));
    wire::Bytes payload;
    ASSERT_EQ(client.NextMessage(&payload), wire::kMsgTcbBlock);
    EXPECT_EQ(payload.size(), 168u);
    EXPECT_EQ(std::string(payload.begin() + 16, payload.begin() + 23), "L1_Task");
    EXPECT_EQ(served.agent->streamsStarted(), 0u);
    EXPECT_EQ(served.agent->Commands().size(), 3u);

    client.Command("Start", wire::StartPayload(0x1000, 0x2000, 2));
    ASSERT_EQ(client.NextMessage(&payload), wire::kMsgTaskInfo);
    ASSERT_EQ(client.NextMessage(&payload), wire::kMsgProbeWords);
    EXPECT_EQ(payload, wire::WordsPayload({0x1000, 0x2000, 2}));
    ASSERT_EQ(client.NextMessage(&payload), wire::kMsgExtraWords);
    EXPECT_EQ(payload.size(), wire::kExtraWordCount * 4);
    client.Command("Stop", {});
    ASSERT_TRUE(served.agent->WaitStreamEnded(std::chrono::seconds(10)));
}

TEST(AgentProtocol, ClosesAConnectionWithoutGreetingAndServesOthersMeanwhile) {
    Served served;
    const std::uint16_t port = served.agent->port();
    Client silent1(port, link::Bytes{});
    Client silent2(port, link::Bytes{});
    Client rude(port, link::Bytes{'h', 'e', 'l', 'l', 'o', '\n', 0, 0, 0, 0});
    Client client(port);
    // Well within the time the agent grants a connection for its greeting.
    const auto sender = client.Next(std::chrono::milliseconds(1500));
    ASSERT_TRUE(sender);
    EXPECT_EQ(sender->type, static_cast<std::uint8_t>(link::FrameType::Sender));
    EXPECT_TRUE(rude.Closed()) << "the agent closes the connection instead of answering";
}

// The collection belongs to the connection that started it: a later connection can take neither
// of its links, and its "Stop" stops nothing.
TEST(AgentProtocol, AnotherConnectionCannotTakeOverARunningCollection) {
    Served served;
    Client owner(served.agent->port());
    ASSERT_TRUE(owner.Next()); // the sender name
    Client data(served.agent->port(), link::LinkKind::Data);
    // The data link is greeted on a thread of its own: the stream must not begin before it.
    ASSERT_TRUE(test::WaitUntil([&] { return served.dataLinks.load() == 1; }));
    owner.Command("Start", wire::StartPayload(0, 0, 0));
    ASSERT_EQ(owner.NextMessage(), wire::kMsgTaskInfo);
    served.agent->ReleaseStream();
    std::uint8_t buffer[256];
    ASSERT_TRUE(test::WaitUntil([&] { return data.stream->Read(buffer, sizeof buffer, 50) > 0; }))
        << "the collection streams to its data link";

    Client intruder(served.agent->port());
    intruder.Command("Stop", {});
    Client intruderData(served.agent->port(), link::LinkKind::Data);
    EXPECT_TRUE(intruder.Closed());
    EXPECT_TRUE(intruderData.Closed());
    EXPECT_FALSE(served.agent->WaitStreamEnded(std::chrono::milliseconds(200)));

    // The owner still holds the command link and the data still flows.
    owner.Command("TaskInfo", wire::TaskInfoRequestPayload(1));
    EXPECT_TRUE(owner.AwaitMessage(wire::kMsgTcbBlock));
    EXPECT_GT(data.stream->Read(buffer, sizeof buffer, 1000), 0);
    owner.Command("Stop", {});
    EXPECT_TRUE(served.agent->WaitStreamEnded(std::chrono::seconds(10)));
}

TEST(AgentProtocol, FaultNames) {
    struct Case {
        const char* text;
        bool ok;
        FaultKind kind;
        double at;
    };
    const Case cases[] = {
        {"corrupt", true, FaultKind::Corrupt, 0.5},
        {"drop@1.5", true, FaultKind::Drop, 1.5},
        {"disconnect@0", true, FaultKind::Disconnect, 0.0},
        {"burst@2", true, FaultKind::Burst, 2.0},
        {"burst@-1", false, FaultKind::Burst, 0},
        {"flood", false, FaultKind::Burst, 0},
        {"drop@nan", false, FaultKind::Drop, 0},
        {"drop@1e308", false, FaultKind::Drop, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Fault fault;
        ASSERT_EQ(ParseFault(c.text, fault), c.ok);
        if (c.ok) {
            EXPECT_EQ(fault.kind, c.kind);
            EXPECT_DOUBLE_EQ(fault.at, c.at);
        }
    }
}

} // namespace
} // namespace zuta::agent
