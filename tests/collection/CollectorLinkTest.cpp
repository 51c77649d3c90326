// The collector endpoint and the controller against an in-memory link: the rules of the two
// receive paths, the identity check and the commands sent.
#include "collection/CollectorLink.h"

#include "collection/CollectionController.h"
#include "engine/WireEncoder.h"
#include "engine/WireFormat.h"
#include "support/CollectionRig.h"

#include <atomic>
#include <gtest/gtest.h>
#include <map>
#include <stop_token>
#include <thread>

namespace zuta::test {
namespace {

constexpr std::uint16_t kAgentA = 0x31;
constexpr std::uint16_t kAgentB = 0x07;

// Both links in memory, shared by any number of endpoints as the host's links are: records what
// is sent, delivers what a test hands it.
class FakeLink : public host::ICommandLink,
                 public host::IDataLink,
                 public host::ISenderNameResolver {
public:
    struct Sent {
        std::string what; // command name, or "raw"
        std::uint32_t portMask = 0;
        wire::Bytes payload;
    };

    // Called on the controller's worker thread when a start has to open the link.
    bool Open(std::stop_token stop) override {
        if (openHook)
            openable = openHook(stop);
        return openable;
    }
    bool IsOpen() const override { return openable; }
    bool SendCommand(std::string_view agent, std::string_view group, std::string_view command,
                     const std::uint8_t* payload, std::size_t length,
                     std::uint32_t flags) override {
        EXPECT_EQ(agent, "DataCollector");
        EXPECT_EQ(group, "Collector");
        EXPECT_EQ(flags, 0u);
        sent.push_back({std::string(command), 0, wire::Bytes(payload, payload + length)});
        return true;
    }
    bool SendRaw(std::uint32_t portMask, const std::uint8_t* bytes, std::size_t count) override {
        sent.push_back({"raw", portMask, wire::Bytes(bytes, bytes + count)});
        return true;
    }
    void Attach(host::CommandLinkEndpoint* endpoint) override { endpoints_.push_back(endpoint); }
    void Detach(host::CommandLinkEndpoint* endpoint) override { std::erase(endpoints_, endpoint); }
    void AddObserver(host::ILinkObserver* observer) override { observers_.push_back(observer); }
    void RemoveObserver(host::ILinkObserver* observer) override {
        std::erase(observers_, observer);
    }
    bool RegisterReceiver(host::DataLinkReceiveFn receive, host::DataLinkNotifyFn,
                          std::uint32_t maxBlock, void* context) override {
        EXPECT_EQ(maxBlock, 1024u);
        if (receive_ != nullptr && context_ != context)
            return false;
        if (onRegister)
            onRegister();
        receive_ = receive;
        context_ = context;
        sent.push_back({"register", 0, {}});
        return true;
    }
    void UnregisterReceiver(void* context) override {
        if (context_ == context)
            receive_ = nullptr;
    }
    bool SenderName(std::uint16_t idA, std::uint16_t idB, std::string& name) const override {
        const auto found = names.find({idA, idB});
        if (found == names.end())
            return false;
        name = found->second;
        return true;
    }

    // Delivers a command-link message to every endpoint, as the host does.
    void Message(const wire::Bytes& bytes, std::uint32_t port = 0,
                 std::uint32_t messageClass = host::kClassReply) {
        for (host::CommandLinkEndpoint* endpoint : endpoints_)
            endpoint->Deliver(
                {port, messageClass, bytes.data(), static_cast<std::uint32_t>(bytes.size())});
    }
    // Delivers a data-link block to whatever receiver is registered.
    void Block(const wire::Bytes& bytes) {
        if (receive_ != nullptr)
            receive_(context_, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    }
    void CloseByPeer() {
        for (host::ILinkObserver* observer : observers_)
            observer->OnLinkClosed();
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        for (const Sent& s : sent)
            out.push_back(s.what);
        return out;
    }

    std::vector<Sent> sent;
    std::map<std::pair<std::uint16_t, std::uint16_t>, std::string> names{
        {{kAgentA, kAgentB}, "DATA_COLLECTOR"},
        {{0x40, 0x01}, "DATA_COLLECTOR"},
        {{0x50, 0x02}, "PROTOCOL_STACK"}};
    std::atomic<bool> openable{true};
    std::function<bool(std::stop_token)> openHook;
    std::function<void()> onRegister;

private:
    std::vector<host::CommandLinkEndpoint*> endpoints_;
    std::vector<host::ILinkObserver*> observers_;
    host::DataLinkReceiveFn receive_ = nullptr;
    void* context_ = nullptr;
};

wire::Bytes TaskInfo(std::uint16_t a = kAgentA, std::uint16_t b = kAgentB,
                     std::uint16_t linkKind = wire::kLinkKindReply) {
    return wire::AgentMessage(
        wire::kMsgTaskInfo,
        wire::TaskInfoPayload({{0, 0, "CommPM_L"}, {1, 0, "L1_Task"}, {20, 1, "L1_HISR"}}), a, b,
        linkKind);
}

// Two task switches in full mode: idle, then L1_Task (which closes one idle run of 160 ticks).
wire::Bytes TwoSwitchRecords() {
    wire::Bytes payload;
    wire::AppendFullRecord(payload, RecordKind::TaskSwitch, 0, 1, 2, 3, 4);
    wire::AppendFullRecord(payload, RecordKind::TaskSwitch, 1, 100, 50, 80, 10);
    return payload;
}

// The same records framed, as the data link carries them.
wire::Bytes TwoSwitches() {
    wire::Bytes framed;
    wire::FrameWriter().Append(framed, TwoSwitchRecords());
    return framed;
}

struct ControllerRig {
    ControllerRig() {
        controller = std::make_unique<CollectionController>(store.Collection(&link, &link, &link));
    }
    std::uint64_t IdleRuns() { return TaskOf(store.data, 1000).runs; }
    // Starts, has the agent answer and takes in one idle run.
    void Collect() {
        ASSERT_TRUE(controller->Start());
        link.Message(TaskInfo());
        link.Block(TwoSwitches());
        ASSERT_EQ(IdleRuns(), 1u);
    }

    StoreRig store;
    FakeLink link;
    std::unique_ptr<CollectionController> controller;
};

TEST(CollectorLink, NothingIsTakenInBeforeTheAgentAnswersOnItsPort) {
    ControllerRig rig;
    FakeLink& link = rig.link;
    ASSERT_TRUE(rig.controller->Start());
    // Data on either path before the answer is dropped.
    link.Block(TwoSwitches());
    link.Message(wire::Unframed(TwoSwitchRecords()), 1);
    EXPECT_EQ(rig.store.data.GetTaskCount(), 0u);
    struct Refused {
        const char* what;
        wire::Bytes message;
        std::uint32_t port;
    };
    const Refused refused[] = {
        {"on another port", TaskInfo(), 7},
        {"too short to name its sender", {0, 0, 0, 0, 0x31, 0}, 0},
        // Only messages of kinds 0 and 4 count as the agent's answer.
        {"link kind 1", TaskInfo(kAgentA, kAgentB, 1), 0},
        {"link kind 2", TaskInfo(kAgentA, kAgentB, 2), 0},
    };
    for (const Refused& r : refused) {
        link.Message(r.message, r.port);
        EXPECT_FALSE(rig.controller->endpoint().started()) << r.what;
    }
    link.Message(TaskInfo(kAgentA, kAgentB, wire::kLinkKindData));
    EXPECT_TRUE(rig.controller->endpoint().started());
    EXPECT_EQ(rig.store.view.refreshNow.load(), 1);
    link.Block(TwoSwitches());
    EXPECT_EQ(TaskOf(rig.store.data, 1000).ticks, 160u);
    // Messages on the data-link port carry the same records unframed.
    link.Message(wire::Unframed(TwoSwitchRecords()), 1);
    EXPECT_EQ(TaskOf(rig.store.data, 1000).ticks, 320u);
}

TEST(CollectorLink, IdentityIsCheckedOnceAndKeptUntilStop) {
    ControllerRig rig;
    ASSERT_TRUE(rig.controller->Start());
    rig.link.Message(TaskInfo(0x50, 0x02)); // someone else
    rig.link.Message(TaskInfo(0x99, 0x99)); // nobody the resolver knows
    EXPECT_FALSE(rig.controller->endpoint().started());
    rig.link.Message(TaskInfo());
    EXPECT_EQ(rig.controller->endpoint().agentIds(), std::make_pair(kAgentA, kAgentB));
    // Another sender named DATA_COLLECTOR is not the agent of this run.
    rig.link.Message(wire::AgentMessage(wire::kMsgTcbBlock, wire::Bytes(168, 1), 0x40, 0x01, 4));
    EXPECT_EQ(rig.store.view.CountCommand(host::kNotifyShowTcb), 0u);

    rig.controller->Stop();
    EXPECT_FALSE(rig.controller->endpoint().started());
    const std::pair<std::uint16_t, std::uint16_t> unknown{0, 0};
    EXPECT_EQ(rig.controller->endpoint().agentIds(), unknown);
    // A late message of the old agent between the runs does not count as the next run's answer.
    rig.link.Message(TaskInfo());
    ASSERT_TRUE(rig.controller->Start());
    EXPECT_FALSE(rig.controller->endpoint().started());
    rig.link.Message(TaskInfo(0x40, 0x01));
    EXPECT_TRUE(rig.controller->endpoint().started());
    rig.link.Message(wire::AgentMessage(wire::kMsgTcbBlock, wire::Bytes(168, 1), 0x40, 0x01, 4));
    EXPECT_EQ(rig.store.view.CountCommand(host::kNotifyShowTcb), 1u);
}

TEST(CollectionController, StartResetsTheStoreWakesTheDataPortAndSendsStartLast) {
    ControllerRig rig;
    rig.store.data.AddOrUpdateTask("Left", 1005, 0);
    // A late answer of an earlier run, arriving as the receiver is registered.
    rig.link.onRegister = [&] { rig.link.Message(TaskInfo()); };
    ASSERT_TRUE(rig.controller->Start());
    EXPECT_EQ(rig.store.data.GetTaskCount(), 0u);
    EXPECT_FALSE(rig.controller->endpoint().started());
    EXPECT_EQ(rig.link.Names(), (std::vector<std::string>{"register", "raw", "Start"}));
    EXPECT_EQ(rig.link.sent[2].payload, wire::StartPayload(0xD0800000u, 0xD0FFFFFFu, 0));
    EXPECT_FALSE(rig.controller->Start()) << "already collecting";

    // Only the XScale counters need their configuration first.
    ControllerRig simple;
    simple.store.settings.cpuType = 0;
    simple.store.settings.simpleMode = true;
    ASSERT_TRUE(simple.controller->Start());
    EXPECT_EQ(simple.link.Names(),
              (std::vector<std::string>{"register", "ConfigData", "raw", "Start"}));
    EXPECT_EQ(simple.link.sent[3].payload, wire::StartPayload(0xD0800000u, 0xD0FFFFFFu, 2));

    // The wake-up byte goes out on the data-link port (ports above 3 keep the mask), and the
    // mask is put back.
    for (const auto& [tlnPort, maskDuringSend] :
         {std::pair{0u, 0x02u}, std::pair{3u, 0x10u}, std::pair{5u, 0x40u}}) {
        SCOPED_TRACE(tlnPort);
        ControllerRig wake;
        wake.store.settings.tlnPort = tlnPort;
        wake.controller->endpoint().SetPortMask(0x40);
        ASSERT_TRUE(wake.controller->Start());
        EXPECT_EQ(wake.link.sent[1].payload, wire::Bytes{0xAA});
        EXPECT_EQ(wake.link.sent[1].portMask, maskDuringSend);
        EXPECT_EQ(wake.controller->endpoint().PortMask(), 0x40u);
    }
}

TEST(CollectionController, TaskInfoForTaskRowsUntilTheFirstCorruptedBatchEndsTheCollection) {
    ControllerRig rig;
    rig.Collect();
    EXPECT_FALSE(rig.controller->SendTaskInfoRequest(1020)); // HISR
    EXPECT_FALSE(rig.controller->SendTaskInfoRequest(1050)); // unknown
    ASSERT_TRUE(rig.controller->SendTaskInfoRequest(1001));
    EXPECT_EQ(rig.link.sent.back().payload, wire::TaskInfoRequestPayload(1));
    // Several bad batches may be queued: the first ends the collection, what came before stays.
    EXPECT_TRUE(rig.controller->HandleStatusNotification(host::kCodeCorruptedData));
    EXPECT_TRUE(rig.controller->HandleStatusNotification(host::kCodeCorruptedData));
    EXPECT_FALSE(rig.controller->collecting());
    EXPECT_EQ(rig.store.output.CountStatus("Corrupted data received"), 1u);
    EXPECT_EQ(rig.IdleRuns(), 1u);
    EXPECT_FALSE(rig.controller->SendTaskInfoRequest(1001));
}

TEST(CollectionController, OneCollectionAtATimeOnASharedLink) {
    ControllerRig rig;
    StoreRig second;
    second.data.AddOrUpdateTask("Kept", 1005, 0);
    auto other =
        std::make_unique<CollectionController>(second.Collection(&rig.link, &rig.link, &rig.link));
    ASSERT_TRUE(rig.controller->Start());
    rig.link.Message(TaskInfo());
    const std::size_t sent = rig.link.sent.size();

    EXPECT_EQ(other->BeginStart(), StartOutcome::Busy);
    EXPECT_FALSE(other->Start());
    EXPECT_EQ(second.output.Status(),
              std::vector<std::string>(2, "The target link is in use by another collection"));
    EXPECT_FALSE(other->collecting());
    EXPECT_EQ(rig.link.sent.size(), sent) << "nothing went to the agent";
    EXPECT_EQ(second.data.GetTaskCount(), 1u) << "the store was left as it was";

    // The agent's messages and blocks reach only the running collection.
    rig.link.Message(TaskInfo());
    rig.link.Block(TwoSwitches());
    EXPECT_EQ(rig.IdleRuns(), 1u);
    EXPECT_EQ(second.data.GetTaskCount(), 1u);
    EXPECT_FALSE(other->endpoint().started());

    // Every controller hears that the link closed; only the collecting one ends.
    rig.link.CloseByPeer();
    rig.store.view.Dispatch(*rig.controller);
    second.view.Dispatch(*other);
    EXPECT_EQ(second.view.Count(host::kCodeLinkClosed), 1u);
    EXPECT_EQ(second.output.CountStatus("Target link lost"), 0u);
    EXPECT_EQ(rig.store.output.CountStatus("Target link lost"), 1u);
    EXPECT_TRUE(other->Start()) << "the link is free again";
}

TEST(CollectionController, AStartThatMustConnectIgnoresTheOutcomesOfAbandonedAttempts) {
    ControllerRig rig;
    rig.link.openable = false;
    const auto outcomes = [&] { return rig.store.view.Posted().size(); };

    // A target that cannot be reached: the outcome comes back as a notification. One not taken
    // up does not hold the next start.
    ASSERT_EQ(rig.controller->BeginStart(), StartOutcome::Connecting);
    ASSERT_TRUE(WaitUntil([&] { return outcomes() == 1; }));
    ASSERT_EQ(rig.controller->BeginStart(), StartOutcome::Connecting);
    ASSERT_TRUE(WaitUntil([&] { return outcomes() == 2; }));
    EXPECT_EQ(rig.store.view.Count(host::kCodeTargetNotConnected), 2u);
    EXPECT_EQ(rig.controller->ContinueStart(false), StartOutcome::NotConnected);
    EXPECT_FALSE(rig.controller->connecting());
    EXPECT_EQ(rig.controller->ContinueStart(false), StartOutcome::NotConnected);
    EXPECT_EQ(rig.store.output.Status(), std::vector<std::string>{"Target not connected"});

    // An attempt abandoned while it waits posts nothing.
    std::atomic<bool> answer{false};
    const auto waitForAnswer = [&](std::stop_token stop) {
        while (!stop.stop_requested() && !answer.load())
            std::this_thread::yield();
        return answer.load();
    };
    rig.link.openHook = waitForAnswer;
    ASSERT_EQ(rig.controller->BeginStart(), StartOutcome::Connecting);
    EXPECT_EQ(rig.controller->BeginStart(), StartOutcome::Connecting);
    rig.controller->CancelStart();
    EXPECT_FALSE(rig.controller->connecting());
    EXPECT_EQ(outcomes(), 2u);

    // The outcome of an abandoned attempt that was already on its way changes nothing.
    rig.link.openHook = {};
    ASSERT_EQ(rig.controller->BeginStart(), StartOutcome::Connecting);
    ASSERT_TRUE(WaitUntil([&] { return outcomes() == 3; }));
    rig.controller->CancelStart();
    rig.link.openHook = waitForAnswer;
    ASSERT_EQ(rig.controller->BeginStart(), StartOutcome::Connecting);
    EXPECT_EQ(rig.controller->ContinueStart(false), StartOutcome::Connecting);
    answer = true;
    ASSERT_TRUE(WaitUntil([&] { return rig.store.view.Count(host::kCodeTargetConnected) == 1; }));
    EXPECT_EQ(rig.controller->ContinueStart(true), StartOutcome::Started);
    EXPECT_TRUE(rig.controller->collecting());
    EXPECT_EQ(rig.controller->ContinueStart(true), StartOutcome::AlreadyRunning);
    EXPECT_EQ(rig.store.output.CountStatus("Target not connected"), 1u);
    EXPECT_EQ(rig.link.Names(), (std::vector<std::string>{"register", "raw", "Start"}));
}

} // namespace
} // namespace zuta::test
