// The simulated agent as a peer on the wire: what it answers to a raw client.
#include "agent/CollectorAgent.h"
#include "engine/WireEncoder.h"
#include "engine/WireFormat.h"
#include "link/LinkFrame.h"
#include "link/TcpStream.h"

#include <chrono>
#include <gtest/gtest.h>

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
    // The next frame, or none within a few seconds.
    std::optional<link::Frame> Next() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
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
    // The type of the agent message in the next message frame.
    std::uint32_t NextMessageType(wire::Bytes* payload = nullptr) {
        const auto frame = Next();
        EXPECT_TRUE(frame);
        if (!frame)
            return 0xFFFFFFFF;
        EXPECT_EQ(frame->type, static_cast<std::uint8_t>(link::FrameType::Message));
        const auto body = link::DecodeMessage(frame->body);
        EXPECT_TRUE(body);
        if (!body || body->message.size() < wire::kMessagePayloadOffset)
            return 0xFFFFFFFF;
        if (payload != nullptr)
            payload->assign(body->message.begin() + wire::kMessagePayloadOffset,
                            body->message.end());
        return wire::ReadU32(body->message.data() + wire::kMessageTypeOffset);
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
        std::string error;
        EXPECT_TRUE(agent->Start(error)) << error;
    }
    std::unique_ptr<CollectorAgent> agent;
};

TEST(AgentProtocol, AnnouncesItsIdentityAndAnswersStartWithTheTaskList) {
    Served served;
    Client client(served.agent->port());
    client.Send(link::EncodeHello(link::LinkKind::Command));
    const auto sender = client.Next();
    ASSERT_TRUE(sender);
    ASSERT_EQ(sender->type, static_cast<std::uint8_t>(link::FrameType::Sender));
    const auto body = link::DecodeSender(sender->body);
    ASSERT_TRUE(body);
    EXPECT_EQ(body->name, "DATA_COLLECTOR");

    client.Command("Start", wire::StartPayload(0x1000, 0x2000, 2));
    wire::Bytes payload;
    ASSERT_EQ(client.NextMessageType(&payload), wire::kMsgTaskInfo);
    ASSERT_EQ(payload.size() % wire::kTaskInfoEntrySize, 0u);
    EXPECT_EQ(wire::ReadU32(payload.data()), 0u);
    EXPECT_EQ(std::string(payload.begin() + 8, payload.begin() + 16), "CommPM_L");
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

TEST(AgentProtocol, RefusesAConnectionWithoutGreeting) {
    Served served;
    Client client(served.agent->port());
    client.Send({'h', 'e', 'l', 'l', 'o', '\n', 0, 0, 0, 0});
    // The agent closes the connection instead of answering.
    std::uint8_t buffer[16];
    long n = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((n = client.stream->Read(buffer, sizeof buffer, 50)) == 0 &&
           std::chrono::steady_clock::now() < deadline) {
    }
    EXPECT_LT(n, 0);
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
        {"badname", true, FaultKind::BadName, 0.5},
        {"disconnect@0", true, FaultKind::Disconnect, 0.0},
        {"burst@2", true, FaultKind::Burst, 2.0},
        {"burst@", false, FaultKind::Burst, 0},
        {"burst@-1", false, FaultKind::Burst, 0},
        {"flood", false, FaultKind::Burst, 0},
        {"drop@1x", false, FaultKind::Drop, 0},
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
