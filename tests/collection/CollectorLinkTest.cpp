// The collector endpoint and the controller against an in-memory link: the rules of the two
// receive paths, the identity check and the commands sent.
#include "collection/CollectorLink.h"

#include "LinkTestSupport.h"
#include "collection/CollectionController.h"
#include "collection/CollectionReplay.h"
#include "engine/WireEncoder.h"
#include "engine/WireFormat.h"

#include <gtest/gtest.h>
#include <map>

namespace zuta::test {
namespace {

constexpr std::uint16_t kAgentA = 0x31;
constexpr std::uint16_t kAgentB = 0x07;

// Both links in memory: records what is sent, delivers what a test hands it.
class FakeLink : public host::ICommandLink,
                 public host::IDataLink,
                 public host::ISenderNameResolver {
public:
    struct Sent {
        std::string what; // command name, or "raw"
        std::uint32_t portMask = 0;
        wire::Bytes payload;
    };

    bool Open() override {
        ++opens;
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
    void Attach(host::CommandLinkEndpoint* endpoint) override { endpoint_ = endpoint; }
    void Detach(host::CommandLinkEndpoint* endpoint) override {
        if (endpoint_ == endpoint)
            endpoint_ = nullptr;
    }
    void SetObserver(host::ILinkObserver* observer) override { observer_ = observer; }
    bool RegisterReceiver(host::DataLinkReceiveFn receive, host::DataLinkNotifyFn,
                          std::uint32_t maxBlock) override {
        EXPECT_EQ(maxBlock, 1024u);
        if (onRegister)
            onRegister();
        receive_ = receive;
        sent.push_back({"register", 0, {}});
        return true;
    }
    void UnregisterReceiver() override {
        receive_ = nullptr;
        sent.push_back({"unregister", 0, {}});
    }
    bool SenderName(std::uint16_t idA, std::uint16_t idB, std::string& name) const override {
        const auto found = names.find({idA, idB});
        if (found == names.end())
            return false;
        name = found->second;
        return true;
    }

    // Delivers a command-link message as the host does.
    void Message(const wire::Bytes& bytes, std::uint32_t port = 0,
                 std::uint32_t messageClass = host::kClassReply) {
        if (endpoint_ != nullptr)
            endpoint_->Deliver(
                {port, messageClass, bytes.data(), static_cast<std::uint32_t>(bytes.size())});
    }
    // Delivers a data-link block to whatever receiver is registered.
    void Block(const wire::Bytes& bytes) {
        if (receive_ != nullptr)
            receive_(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    }
    void CloseByPeer() {
        if (observer_ != nullptr)
            observer_->OnLinkClosed();
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
    bool openable = true;
    int opens = 0;
    std::function<void()> onRegister;

private:
    host::CommandLinkEndpoint* endpoint_ = nullptr;
    host::ILinkObserver* observer_ = nullptr;
    host::DataLinkReceiveFn receive_ = nullptr;
};

wire::Bytes TaskInfo(std::uint16_t a = kAgentA, std::uint16_t b = kAgentB,
                     std::uint16_t linkKind = wire::kLinkKindReply) {
    return wire::AgentMessage(
        wire::kMsgTaskInfo,
        wire::TaskInfoPayload({{0, 0, "CommPM_L"}, {1, 0, "L1_Task"}, {20, 1, "L1_HISR"}}), a, b,
        linkKind);
}

// Two task switches in full mode, framed: idle, then L1_Task (which closes one idle run).
wire::Bytes TwoSwitches() {
    wire::Bytes payload;
    wire::AppendFullRecord(payload, RecordKind::TaskSwitch, 0, 1, 2, 3, 4);
    wire::AppendFullRecord(payload, RecordKind::TaskSwitch, 1, 100, 50, 80, 10);
    wire::Bytes framed;
    wire::FrameWriter().Append(framed, payload);
    return framed;
}

struct ControllerRig {
    ControllerRig() {
        controller = std::make_unique<CollectionController>(store.Collection(&link, &link, &link));
    }
    std::uint64_t IdleRuns() {
        TaskRecord idle;
        return store.data.GetTaskById(1000, idle) ? idle.runs : 0;
    }

    StoreRig store;
    FakeLink link;
    std::unique_ptr<CollectionController> controller;
};

TEST(CollectorLink, DataBeforeTheFirstAcceptedMessageIsDropped) {
    ControllerRig rig;
    ASSERT_TRUE(rig.controller->Start());
    rig.link.Block(TwoSwitches());
    EXPECT_EQ(rig.store.data.GetTaskCount(), 0u);
    rig.link.Message(TaskInfo());
    EXPECT_TRUE(rig.controller->endpoint().started());
    EXPECT_EQ(rig.store.view.refreshNow.load(), 1);
    rig.link.Block(TwoSwitches());
    EXPECT_EQ(rig.IdleRuns(), 1u);
    EXPECT_EQ(rig.store.view.armRefresh.load(), 1);
}

TEST(CollectorLink, OnlyKindsZeroAndFourAreAccepted) {
    ControllerRig rig;
    ASSERT_TRUE(rig.controller->Start());
    rig.link.Message(TaskInfo(kAgentA, kAgentB, 1));
    rig.link.Message(TaskInfo(kAgentA, kAgentB, 2));
    EXPECT_FALSE(rig.controller->endpoint().started());
    EXPECT_EQ(rig.store.data.GetTaskCount(), 0u);
    rig.link.Message(TaskInfo(kAgentA, kAgentB, wire::kLinkKindData));
    EXPECT_TRUE(rig.controller->endpoint().started());
    EXPECT_EQ(rig.store.data.GetTaskCount(), 3u);
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

TEST(CollectorLink, NothingIsAcceptedWithoutResolverViewOrOnAnotherPort) {
    StoreRig store;
    FakeLink link;
    {
        CollectorLink endpoint(link, store.data, nullptr);
        endpoint.SetView(&store.view);
        link.Message(TaskInfo());
        EXPECT_FALSE(endpoint.started());
    }
    CollectorLink endpoint(link, store.data, &link);
    link.Message(TaskInfo());
    EXPECT_FALSE(endpoint.started()) << "no view yet";
    endpoint.SetView(&store.view);
    link.Message(TaskInfo(), 7);
    EXPECT_FALSE(endpoint.started());
    link.Message(TaskInfo(), 0, host::kClassData + 10);
    EXPECT_FALSE(endpoint.started()) << "a class the selector does not admit";
    link.Message(wire::Bytes{0, 0, 0, 0, 0x31, 0}); // too short to name its sender
    EXPECT_FALSE(endpoint.started());
    link.Message(TaskInfo());
    EXPECT_TRUE(endpoint.started());
}

TEST(CollectorLink, DataPortMessagesCarryUnframedData) {
    StoreRig store;
    FakeLink link;
    CollectorLink endpoint(link, store.data, &link);
    endpoint.SetView(&store.view);
    endpoint.SetPorts(0, 1);
    store.data.StartCollection();
    wire::Bytes payload;
    wire::AppendFullRecord(payload, RecordKind::TaskSwitch, 0, 1, 2, 3, 4);
    wire::AppendFullRecord(payload, RecordKind::TaskSwitch, 1, 100, 50, 80, 10);
    link.Message(wire::Unframed(payload), 1);
    EXPECT_EQ(store.data.GetTaskCount(), 0u) << "before the agent answered";
    link.Message(TaskInfo());
    link.Message(wire::Unframed(payload), 1);
    TaskRecord idle;
    ASSERT_TRUE(store.data.GetTaskById(1000, idle));
    EXPECT_EQ(idle.runs, 1u);
    EXPECT_EQ(idle.ticks, 160u);
    EXPECT_EQ(idle.sumValue2, 10u);
    EXPECT_EQ(store.view.armRefresh.load(), 1);
}

TEST(CollectorLink, NewIrqInABatchRebuildsTheRowsAtOnce) {
    ControllerRig rig;
    ASSERT_TRUE(rig.controller->Start());
    rig.link.Message(TaskInfo());
    wire::Bytes payload;
    wire::AppendFullRecord(payload, RecordKind::TaskSwitch, 0, 0, 0, 0, 0);
    wire::AppendFullRecord(payload, RecordKind::IrqSwitch, 4, 0, 0, 0, 5);
    wire::Bytes framed;
    wire::FrameWriter().Append(framed, payload);
    rig.link.Block(framed);
    EXPECT_EQ(rig.store.view.newTaskData.load(), 1);
    TaskRecord irq;
    ASSERT_TRUE(rig.store.data.GetTaskById(4, irq));
    EXPECT_EQ(irq.name, "FrameInt");
    rig.link.Block(TwoSwitches());
    EXPECT_EQ(rig.store.view.newTaskData.load(), 1);
    EXPECT_EQ(rig.store.view.armRefresh.load(), 2);
}

TEST(CollectionController, StartResetsTheStoreBeforeTheReceiverAndStart) {
    ControllerRig rig;
    rig.store.data.AddOrUpdateTask("Left", 1005, 0);
    std::uint32_t tasksAtRegistration = 99;
    rig.link.onRegister = [&] { tasksAtRegistration = rig.store.data.GetTaskCount(); };
    ASSERT_TRUE(rig.controller->Start());
    EXPECT_EQ(tasksAtRegistration, 0u);
    EXPECT_EQ(rig.link.Names(), (std::vector<std::string>{"register", "raw", "Start"}));
    EXPECT_EQ(rig.link.sent[2].payload, wire::StartPayload(0xD0800000u, 0xD0FFFFFFu, 0));
    EXPECT_FALSE(rig.controller->Start()) << "already collecting";
}

TEST(CollectionController, ConfigDataOnlyForTheXScaleCounters) {
    ControllerRig rig;
    rig.store.settings.cpuType = 0;
    rig.store.settings.simpleMode = true;
    ASSERT_TRUE(rig.controller->Start());
    EXPECT_EQ(rig.link.Names(),
              (std::vector<std::string>{"ConfigData", "register", "raw", "Start"}));
    EXPECT_EQ(rig.link.sent[0].payload, wire::Bytes(16, 0));
    EXPECT_EQ(rig.link.sent[3].payload, wire::StartPayload(0xD0800000u, 0xD0FFFFFFu, 2));
}

TEST(CollectionController, WakeUpByteGoesOutOnTheDataLinkPort) {
    struct Case {
        std::uint32_t tlnPort;
        std::uint32_t maskDuringSend;
    };
    for (const Case c :
         {Case{0, 0x02}, Case{1, 0x04}, Case{2, 0x08}, Case{3, 0x10}, Case{5, 0x40}}) {
        SCOPED_TRACE(c.tlnPort);
        ControllerRig rig;
        rig.store.settings.tlnPort = c.tlnPort;
        rig.controller->endpoint().SetPortMask(0x40);
        ASSERT_TRUE(rig.controller->Start());
        ASSERT_EQ(rig.link.sent[1].what, "raw");
        EXPECT_EQ(rig.link.sent[1].payload, wire::Bytes{0xAA});
        EXPECT_EQ(rig.link.sent[1].portMask, c.maskDuringSend);
        EXPECT_EQ(rig.controller->endpoint().PortMask(), 0x40u) << "the mask is put back";
    }
}

TEST(CollectionController, StatusLinesOfStartAndStop) {
    ControllerRig rig;
    ASSERT_TRUE(rig.controller->Start());
    rig.controller->Stop();
    rig.controller->Stop(); // nothing more: no collection runs
    EXPECT_EQ(rig.store.output.Status(),
              (std::vector<std::string>{"Send Data to the Target", "Open TLN", "DC Started",
                                        "Send Data to the Target"}));
    EXPECT_EQ(rig.link.Names(),
              (std::vector<std::string>{"register", "raw", "Start", "unregister", "Stop"}));
    EXPECT_TRUE(rig.link.sent.back().payload.empty());
    rig.controller->SendCollectorCommand(7);
    EXPECT_EQ(rig.store.output.Status().back(), "Send Data to the Target");
    EXPECT_EQ(rig.link.sent.size(), 5u);
}

TEST(CollectionController, StopInTwoStepsTellsTheAgentOnce) {
    ControllerRig rig;
    ASSERT_TRUE(rig.controller->Start());
    rig.controller->RequestStop();
    rig.controller->RequestStop();
    EXPECT_TRUE(rig.controller->collecting()); // the collection closes only in the second step
    rig.controller->FinishStop();
    EXPECT_FALSE(rig.controller->collecting());
    EXPECT_EQ(rig.link.Names(),
              (std::vector<std::string>{"register", "raw", "Start", "unregister", "Stop"}));
    // The next run stops again.
    ASSERT_TRUE(rig.controller->Start());
    rig.controller->Stop();
    EXPECT_EQ(rig.link.Names().back(), "Stop");
}

TEST(CollectionController, TaskInfoOnlyForTaskRowsDuringACollection) {
    ControllerRig rig;
    ASSERT_TRUE(rig.controller->Start());
    rig.link.Message(TaskInfo());
    rig.link.Block(TwoSwitches());
    EXPECT_FALSE(rig.controller->SendTaskInfoRequest(1020)); // HISR
    EXPECT_FALSE(rig.controller->SendTaskInfoRequest(4));    // no such record
    EXPECT_FALSE(rig.controller->SendTaskInfoRequest(1050)); // unknown
    ASSERT_TRUE(rig.controller->SendTaskInfoRequest(1001));
    EXPECT_EQ(rig.link.sent.back().what, "TaskInfo");
    EXPECT_EQ(rig.link.sent.back().payload, wire::TaskInfoRequestPayload(1));
    rig.controller->Stop();
    EXPECT_FALSE(rig.controller->SendTaskInfoRequest(1001));
}

TEST(CollectionController, NotificationsOfTheStore) {
    ControllerRig rig;
    ASSERT_TRUE(rig.controller->Start());
    rig.link.Message(TaskInfo());
    rig.link.Block(TwoSwitches());
    EXPECT_TRUE(rig.controller->HandleStatusNotification(host::kCodeCorruptedData));
    EXPECT_TRUE(rig.controller->HandleStatusNotification(host::kCodeCorruptedData));
    EXPECT_FALSE(rig.controller->collecting());
    EXPECT_EQ(rig.store.output.CountStatus("Corrupted data received"), 1u);
    EXPECT_EQ(rig.IdleRuns(), 1u) << "what came before is kept";
    EXPECT_TRUE(rig.controller->HandleStatusNotification(host::kCodeTaskInfoCorrupted));
    EXPECT_TRUE(rig.controller->HandleStatusNotification(host::kCodeDataReceived));
    EXPECT_TRUE(rig.controller->HandleStatusNotification(host::kCodeTaskDataProcessed));
    EXPECT_FALSE(rig.controller->HandleStatusNotification(host::kCodeSamplingFlagsChanged));
    EXPECT_FALSE(rig.controller->HandleStatusNotification(host::kCodeNewTaskData));
    const auto status = rig.store.output.Status();
    EXPECT_EQ(std::vector<std::string>(status.end() - 3, status.end()),
              (std::vector<std::string>{"Task Info data corrupted", "data received",
                                        "Task data is processed"}));
}

TEST(CollectionController, LinkClosedByThePeerEndsTheCollectionAndStartOpensItAgain) {
    ControllerRig rig;
    ASSERT_TRUE(rig.controller->Start());
    rig.link.Message(TaskInfo());
    rig.link.Block(TwoSwitches());
    rig.link.CloseByPeer();
    ASSERT_EQ(rig.store.view.Count(host::kCodeLinkClosed), 1u);
    rig.store.view.Dispatch(*rig.controller);
    EXPECT_FALSE(rig.controller->collecting());
    EXPECT_EQ(rig.store.output.CountStatus("Target link lost"), 1u);
    EXPECT_EQ(rig.IdleRuns(), 1u);
    ASSERT_TRUE(rig.controller->Start());
    EXPECT_EQ(rig.link.opens, 2);

    rig.controller->Stop();
    rig.link.openable = false;
    EXPECT_FALSE(rig.controller->Start());
    EXPECT_EQ(rig.store.output.Status().back(), "Target not connected");
}

TEST(CollectionController, ShutdownLogsTerminatingAndStopsDeliveries) {
    ControllerRig rig;
    ASSERT_TRUE(rig.controller->Start());
    rig.link.Message(TaskInfo());
    rig.controller->Shutdown();
    EXPECT_EQ(rig.store.output.CountStatus("Terminating"), 1u);
    EXPECT_EQ(rig.link.Names().back(), "Stop");
    rig.link.Message(TaskInfo());
    EXPECT_FALSE(rig.controller->endpoint().started()) << "the endpoint is off the link";
    EXPECT_FALSE(rig.controller->Start());
}

TEST(CaptureReplay, GoesThroughTheEndpointIdentityIncluded) {
    StoreRig store;
    store.data.StartCollection();
    CaptureReplayer replayer(store.data, 0, 1, &store.view);
    auto record = [](CaptureKind kind, const wire::Bytes& bytes, std::uint32_t port = 0) {
        CaptureRecord r;
        r.kind = kind;
        r.port = port;
        r.bytes = bytes;
        return r;
    };
    replayer.Feed(record(CaptureKind::DataBlock, TwoSwitches()));
    replayer.Feed(record(CaptureKind::CommandMessage, TaskInfo()));
    EXPECT_EQ(store.data.GetTaskCount(), 0u) << "no sender name known yet";
    wire::Bytes name{0x31, 0, 0x07, 0};
    for (const char c : std::string("DATA_COLLECTOR"))
        name.push_back(static_cast<std::uint8_t>(c));
    replayer.Feed(record(CaptureKind::SenderName, name));
    replayer.Feed(record(CaptureKind::SenderName, wire::Bytes{1, 2})); // too short: ignored
    replayer.Feed(record(CaptureKind::CommandMessage, TaskInfo()));
    EXPECT_EQ(store.data.GetTaskCount(), 3u);
    replayer.Feed(record(CaptureKind::DataBlock, TwoSwitches()));
    TaskRecord idle;
    ASSERT_TRUE(store.data.GetTaskById(1000, idle));
    EXPECT_EQ(idle.runs, 1u);
}

} // namespace
} // namespace zuta::test
