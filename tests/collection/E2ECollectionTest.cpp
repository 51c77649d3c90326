// The module against the simulated target over loopback: what the module computes must equal
// the ground truth the agent kept of what it sent.
#include "agent/CollectorAgent.h"
#include "collection/CollectionController.h"
#include "collection/CollectionReplay.h"
#include "engine/WireFormat.h"
#include "link/HostLink.h"
#include "link/LinkCapture.h"
#include "support/CollectionRig.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace zuta::test {
namespace {

using agent::CollectorAgent;
using agent::GroundTruth;

// The agent, the host's links with a capture tapping them, and collection control over them.
struct Rig {
    explicit Rig(std::uint32_t samplingMode, agent::AgentOptions options = {})
        : store(samplingMode), capture(store.settings.tlnPort) {
        options.holdStream = true;
        agentServer = std::make_unique<CollectorAgent>(options);
        std::string error;
        EXPECT_TRUE(agentServer->Start(error)) << error;
        EXPECT_TRUE(capture.Open(capturePath, error)) << error;
        link =
            std::make_unique<link::HostLink>(link::TcpLinkOpener("127.0.0.1", agentServer->port()));
        link->SetTap(&capture);
        controller = std::make_unique<CollectionController>(
            store.Collection(link.get(), link.get(), link.get()));
    }
    ~Rig() {
        controller.reset();
        link.reset();
        agentServer.reset();
    }

    // Starts, has the agent stream once the module has its answer and waits until every byte it
    // sent has reached the module.
    void CollectAll() {
        ASSERT_TRUE(controller->Start());
        ASSERT_TRUE(WaitUntil([&] { return controller->endpoint().started(); }));
        agentServer->ReleaseStream();
        ASSERT_TRUE(agentServer->WaitStreamEnded(std::chrono::seconds(60)));
        ASSERT_TRUE(WaitUntil(
            [&] { return link->dataBytesDelivered() >= agentServer->streamBytesSent(); }));
    }
    // Ends the collection and the links and plays the capture back into a fresh store.
    void Replay(StoreRig& replayed) {
        controller.reset();
        link->Close();
        std::string error;
        ASSERT_TRUE(capture.Close(error)) << error;
        replayed.data.StartCollection();
        CaptureReplayer replayer(replayed.data, store.settings.diagPort, store.settings.tlnPort);
        CaptureReader reader;
        ASSERT_TRUE(reader.Open(capturePath, error)) << error;
        CaptureRecord record;
        while (reader.Next(record, error))
            replayer.Feed(record);
        EXPECT_TRUE(error.empty()) << error;
    }

    StoreRig store;
    const std::string capturePath = store.folder / "run.zcap";
    link::LinkCapture capture;
    std::unique_ptr<CollectorAgent> agentServer;
    std::unique_ptr<link::HostLink> link;
    std::unique_ptr<CollectionController> controller;
};

agent::AgentOptions Finite(double seconds) {
    agent::AgentOptions options;
    options.seed = 7;
    options.speed = 0.0;
    options.duration = seconds;
    return options;
}

void ExpectStoreMatches(const CPerformanceData& data, const GroundTruth& truth) {
    ASSERT_FALSE(truth.tasks.empty());
    for (const auto& [id, expected] : truth.tasks) {
        SCOPED_TRACE("task " + std::to_string(id) + " " + expected.name);
        TaskRecord task;
        ASSERT_TRUE(data.GetTaskById(id, task));
        EXPECT_EQ(task.type, expected.type);
        EXPECT_EQ(task.runs, expected.runs);
        EXPECT_EQ(task.ticks, expected.ticks);
        EXPECT_EQ(task.sumValue0, expected.sumValue0);
        EXPECT_EQ(task.sumValue1, expected.sumValue1);
        EXPECT_EQ(task.sumValue2, expected.sumValue2);
        if (expected.type < kTypeIrq) {
            EXPECT_EQ(task.name, expected.name);
        }
    }
    EXPECT_EQ(data.GetTaskCount(), truth.tasks.size());
    data.Read([&](const StoreState& state) {
        EXPECT_EQ(state.switchCount, truth.switchCount);
        EXPECT_EQ(state.userEventCount, truth.userEventCount);
        EXPECT_EQ(state.functionEventCount, truth.functionEventCount);
    });
}

struct RunCase {
    const char* name;
    std::uint32_t mode;
    bool manyFunctions = false;
    // Paced at the nominal rate the socket delivers little at a time: only the data link's
    // coalescing into blocks keeps every batch holding a whole record.
    bool paced = false;
    std::optional<agent::Fault> fault = {};
    std::uint64_t minSwitches = 500;
};

class EndToEnd : public ::testing::TestWithParam<RunCase> {};

TEST_P(EndToEnd, ModuleFiguresEqualTheAgentsGroundTruth) {
    const RunCase& c = GetParam();
    agent::AgentOptions options = Finite(1.2);
    options.manyFunctions = c.manyFunctions;
    options.speed = c.paced ? 1.0 : 0.0;
    if (c.fault)
        options.faults.push_back(*c.fault);
    Rig rig(c.mode, options);
    rig.CollectAll();
    rig.controller->Stop();
    EXPECT_FALSE(rig.controller->collecting());

    const GroundTruth truth = rig.agentServer->Truth();
    EXPECT_EQ(truth.samplingMode, c.mode);
    EXPECT_GT(truth.switchCount, c.minSwitches);
    EXPECT_GT(truth.functionEventCount, 100u);
    EXPECT_GT(truth.userEventCount, 0u);
    EXPECT_EQ(rig.link->dataBytesReceived(), rig.agentServer->streamBytesSent());
    ExpectStoreMatches(rig.store.data, truth);
    EXPECT_EQ(rig.store.data.GetCpuLoad(), truth.CpuLoad());
    EXPECT_GT(truth.CpuLoad(), 5u);
    EXPECT_LT(truth.CpuLoad(), 95u);
    rig.store.data.Read([&](const StoreState& state) {
        EXPECT_EQ(state.skippedBytes, 0u);
        EXPECT_EQ(state.unknownRecords, 0u);
    });
    // Raw data blocks, the second one as long as a block may be, are dumped and echoed; being
    // longer than a data-link block makes them no corrupt data.
    EXPECT_EQ(rig.store.view.Count(host::kCodeCorruptedData), 0u);
    if (c.mode == wire::kModeNormal) {
        ASSERT_EQ(truth.rawBlocks, 2u);
        EXPECT_NE(rig.store.output.Raw().find("Data ID 1, Len = "), std::string::npos);
        EXPECT_TRUE(std::filesystem::exists(rig.store.folder / "DataID1.bin"));
        EXPECT_EQ(std::filesystem::file_size(rig.store.folder / "DataID2.bin"),
                  wire::kMaxRawBlockLength);
    }
    if (c.manyFunctions) {
        EXPECT_GT(truth.tasks.size(), 200u);
    }
    // A task name with a character the target never uses is reported once and taken as it is.
    if (c.fault && c.fault->kind == agent::FaultKind::BadName) {
        rig.store.view.Dispatch(*rig.controller);
        EXPECT_EQ(rig.store.output.CountStatus("Task Info data corrupted"), 1u);
        EXPECT_EQ(TaskOf(rig.store.data, 1002).name, "RR-Task");
    }
    // The capture of the run replays through an endpoint to the same figures.
    StoreRig replayed(c.mode);
    rig.Replay(replayed);
    ExpectStoreMatches(replayed.data, truth);
}

INSTANTIATE_TEST_SUITE_P(
    Workloads, EndToEnd,
    ::testing::Values(RunCase{"Full", wire::kModeNormal}, RunCase{"Simple", wire::kModeSimple},
                      RunCase{"ExternalTs", wire::kModeExternalTs},
                      RunCase{"FullManyFunctions", wire::kModeNormal, true},
                      RunCase{"ExternalTsPaced", wire::kModeExternalTs, false, true},
                      // An interrupt storm of 0.2 s far above the nominal rate: 8000 switches more.
                      RunCase{"FullBurst", wire::kModeNormal, false, false,
                              agent::Fault{agent::FaultKind::Burst, 0.2}, 9000},
                      RunCase{"SimpleBadName", wire::kModeSimple, false, false,
                              agent::Fault{agent::FaultKind::BadName, 0.0}}),
    [](const ::testing::TestParamInfo<RunCase>& run) { return run.param.name; });

TEST(EndToEndFaults, DisconnectKeepsEverythingCollectedAndStartWorksAgain) {
    agent::AgentOptions options = Finite(2.0);
    options.faults.push_back({agent::FaultKind::Disconnect, 0.4});
    Rig rig(wire::kModeExternalTs, options);
    rig.CollectAll();
    ASSERT_TRUE(WaitUntil([&] { return rig.store.view.Count(host::kCodeLinkClosed) == 1; }));
    rig.store.view.Dispatch(*rig.controller);
    EXPECT_FALSE(rig.controller->collecting());
    EXPECT_EQ(rig.store.output.CountStatus("Target link lost"), 1u);
    const GroundTruth truth = rig.agentServer->Truth();
    EXPECT_NEAR(truth.simulatedSeconds, 0.4, 0.02);
    ExpectStoreMatches(rig.store.data, truth);

    // The agent takes a new connection; the next Start reconnects and collects again.
    rig.CollectAll();
    rig.controller->Stop();
    EXPECT_EQ(rig.agentServer->streamsStarted(), 2u);
    EXPECT_GT(TaskOf(rig.store.data, 1000).runs, 0u);
}

} // namespace
} // namespace zuta::test
