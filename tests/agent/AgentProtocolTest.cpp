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

// A client that speaks the command link frame by frame.
struct Client {
    explicit Client(std::uint16_t port) {
        std::string error;
        stream = link::ConnectTcp("127.0.0.1", port, error);
        EXPECT_TRUE(stream) << error;
    }
    void Send(const link::Bytes& frame) {
        ASSERT_TRUE(stream->WriteAll(frame.data(), frame.size()));
    }
    void Command(const std::string& command, const wire::Bytes& payload,
                 const std::string& agent = "DataCollector") {
        Send(link::EncodeCommand(agent, "Collector", command, 0, payload.data(), payload.size()));
    }
    // The next frame, or none within the time given.
    std::optional<link::Frame> Next(std::chrono::milliseconds within = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + within;
        while (pending.empty() && std::chrono::steady_clock::now() < deadline) {
            std::uint8_t buffer[4096];
            const long n = stream->Read(buffer, sizeof buffer, 50);
            if (n < 0)
                break;
            if (n > 0) {
                EXPECT_TRUE(parser.Feed(buffer, static_cast<std::size_t>(n), pending));
            }
        }
        if (pending.empty())
            return std::nullopt;
        link::Frame frame = pending.front();
        pending.erase(pending.begin());
        return frame;
    }
    // The type of the agent message in `frame`, its payload put in `payload`; none when the frame
    // holds no agent message.
    static std::optional<std::uint32_t> MessageType(const link::Frame& frame,
                                                    wire::Bytes* payload = nullptr) {
        const auto body = link::DecodeMessage(frame.body);
        if (frame.type != static_cast<std::uint8_t>(link::FrameType::Message) || !body ||
            body->message.size() < wire::kMessagePayloadOffset)
            return std::nullopt;
        if (payload != nullptr)
            payload->assign(body->message.begin() + wire::kMessagePayloadOffset,
                            body->message.end());
        return wire::ReadU32(body->message.data() + wire::kMessageTypeOffset);
    }
    // The type of the agent message in the next frame.
    std::optional<std::uint32_t> NextMessageType(wire::Bytes* payload = nullptr) {
        const auto frame = Next();
        return frame ? MessageType(*frame, payload) : std::nullopt;
    }
    // True once a message of `type` arrives; false when the frames stop first.
    bool AwaitMessage(std::uint32_t type) {
        while (const auto frame = Next())
            if (MessageType(*frame) == type)
                return true;
        return false;
    }
    // True once the agent closed the connection, false when it is still open after a while.
    bool Closed() {
        std::uint8_t buffer[4096];
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (stream->Read(buffer, sizeof buffer, 50) < 0)
                return true;
        }
        return false;
    }

    link::ByteStreamPtr stream;
    link::FrameParser parser;
    std::vector<link::Frame> pending;
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

TEST(AgentProtocol, AnnouncesItsIdentityAndAnswersStartWithTheTaskList) {
    Served served;
    Client client(served.agent->port());
    client.Send(link::EncodeHello(link::LinkKind::Command));
    const auto sender = client.Next();
    ASSERT_TRUE(sender && link::DecodeSender(sender->body));
    EXPECT_EQ(link::DecodeSender(sender->body)->name, "DATA_COLLECTOR");

    client.Command("Start", wire::StartPayload(0x1000, 0x2000, 2));
    wire::Bytes payload;
    ASSERT_EQ(client.NextMessageType(&payload), wire::kMsgTaskInfo);
    ASSERT_EQ(client.NextMessageType(&payload), wire::kMsgProbeWords);
    EXPECT_EQ(payload, wire::WordsPayload({0x1000, 0x2000, 2}));
    ASSERT_EQ(client.NextMessageType(&payload), wire::kMsgExtraWords);
    EXPECT_EQ(payload.size(), wire::kExtraWordCount * 4);

    client.Command("TaskInfo", wire::TaskInfoRequestPayload(1));
    ASSERT_EQ(client.NextMessageType(&payload), wire::kMsgTcbBlock);
    EXPECT_EQ(payload.size(), 168u);
    EXPECT_EQ(std::string(payload.begin() + 16, payload.begin() + 23), "L1_Task");

    client.Command("Stop", {});
    ASSERT_TRUE(served.agent->WaitStreamEnded(std::chrono::seconds(10)));
}

TEST(AgentProtocol, IgnoresCommandsForAnotherAgentAndUnknownTasks) {
    Served served;
    Client client(served.agent->port());
    client.Send(link::EncodeHello(link::LinkKind::Command));
    ASSERT_TRUE(client.Next()); // the sender name
    client.Command("Start", wire::StartPayload(0, 0, 0), "SomeoneElse");
    client.Command("TaskInfo", wire::TaskInfoRequestPayload(200));
    client.Command("TaskInfo", wire::TaskInfoRequestPayload(2));
    // Only the last command is answered.
    ASSERT_EQ(client.NextMessageType(), wire::kMsgTcbBlock);
    EXPECT_EQ(served.agent->streamsStarted(), 0u);
    EXPECT_EQ(served.agent->Commands().size(), 3u);
}

TEST(AgentProtocol, ServesANewConnectionWhileOthersStaySilent) {
    Served served;
    Client silent1(served.agent->port());
    Client silent2(served.agent->port());
    Client client(served.agent->port());
    client.Send(link::EncodeHello(link::LinkKind::Command));
    // Well within the time the agent grants a connection for its greeting.
    const auto sender = client.Next(std::chrono::milliseconds(1500));
    ASSERT_TRUE(sender);
    EXPECT_EQ(sender->type, static_cast<std::uint8_t>(link::FrameType::Sender));
}

// The collection belongs to the connection that started it: a later connection can take neither
// of its links, and its "Stop" stops nothing.
TEST(AgentProtocol, AnotherConnectionCannotTakeOverARunningCollection) {
    Served served;
    Client owner(served.agent->port());
    owner.Send(link::EncodeHello(link::LinkKind::Command));
    ASSERT_TRUE(owner.Next()); // the sender name
    Client data(served.agent->port());
    data.Send(link::EncodeHello(link::LinkKind::Data));
    // The data link is greeted on a thread of its own: the stream must not begin before it.
    ASSERT_TRUE(test::WaitUntil([&] { return served.dataLinks.load() == 1; }));
    owner.Command("Start", wire::StartPayload(0, 0, 0));
    ASSERT_EQ(owner.NextMessageType(), wire::kMsgTaskInfo);
    served.agent->ReleaseStream();
    std::uint8_t buffer[256];
    ASSERT_TRUE(test::WaitUntil([&] { return data.stream->Read(buffer, sizeof buffer, 50) > 0; }))
        << "the collection streams to its data link";

    Client intruder(served.agent->port());
    intruder.Send(link::EncodeHello(link::LinkKind::Command));
    intruder.Command("Stop", {});
    Client intruderData(served.agent->port());
    intruderData.Send(link::EncodeHello(link::LinkKind::Data));
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

TEST(AgentProtocol, RefusesAConnectionWithoutGreeting) {
    Served served;
    Client client(served.agent->port());
    client.Send({'h', 'e', 'l', 'l', 'o', '\n', 0, 0, 0, 0});
    EXPECT_TRUE(client.Closed()) << "the agent closes the connection instead of answering";
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
