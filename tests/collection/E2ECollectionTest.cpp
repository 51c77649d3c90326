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

namespace zuta::test {
namespace {

using agent::CollectorAgent;
using agent::GroundTruth;

struct Rig {
    explicit Rig(std::uint32_t samplingMode, agent::AgentOptions options = {})
        : store(samplingMode) {
        options.holdStream = true;
        agentServer = std::make_unique<CollectorAgent>(options);
        std::string error;
        EXPECT_TRUE(agentServer->Start(error)) << error;
        link =
            std::make_unique<link::HostLink>(link::TcpLinkOpener("127.0.0.1", agentServer->port()));
        controller = std::make_unique<CollectionController>(
            store.Collection(link.get(), link.get(), link.get()));
    }
    ~Rig() {
        controller.reset();
        link.reset();
        agentServer.reset();
    }

    // Lets the agent stream and waits until every byte it sent has reached the module.
    void StreamAll() {
        agentServer->ReleaseStream();
        ASSERT_TRUE(agentServer->WaitStreamEnded(std::chrono::seconds(60)));
        ASSERT_TRUE(WaitUntil(
            [&] { return link->dataBytesDelivered() == agentServer->streamBytesSent(); }));
    }
    // Starts and streams once the module has its answer.
    void CollectAll() {
        ASSERT_TRUE(controller->Start());
        ASSERT_TRUE(WaitUntil([&] { return controller->endpoint().started(); }));
        StreamAll();
    }

    StoreRig store;
    std::unique_ptr<CollectorAgent> agentServer;
    std::unique_ptr<link::HostLink> link;
    std::unique_ptr<CollectionController> controller;
};

agent::AgentOptions Finite(double seconds, std::uint64_t seed = 7) {
    agent::AgentOptions options;
    options.seed = seed;
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
    std::uint32_t mode;
    bool manyFunctions = false;
};

class EndToEnd : public ::testing::TestWithParam<RunCase> {};

TEST_P(EndToEnd, ModuleFiguresEqualTheAgentsGroundTruth) {
    const std::uint32_t mode = GetParam().mode;
    agent::AgentOptions options = Finite(1.2);
    options.manyFunctions = GetParam().manyFunctions;
    Rig rig(mode, options);
    rig.CollectAll();
    rig.controller->Stop();

    const GroundTruth truth = rig.agentServer->Truth();
    EXPECT_EQ(truth.samplingMode, mode);
    EXPECT_GT(truth.switchCount, 500u);
    EXPECT_GT(truth.functionEventCount, 100u);
    EXPECT_GT(truth.userEventCount, 0u);
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
    if (mode == wire::kModeNormal) {
        ASSERT_EQ(truth.rawBlocks, 2u);
        EXPECT_NE(rig.store.output.Raw().find("Data ID 1, Len = "), std::string::npos);
        EXPECT_TRUE(std::filesystem::exists(rig.store.folder / "DataID1.bin"));
        EXPECT_EQ(std::filesystem::file_size(rig.store.folder / "DataID2.bin"),
                  wire::kMaxRawBlockLength);
    }
    if (GetParam().manyFunctions) {
        EXPECT_GT(truth.tasks.size(), 200u);
    }
    EXPECT_FALSE(rig.controller->collecting());
}

std::string RunName(const ::testing::TestParamInfo<RunCase>& info) {
    const char* modes[] = {"Full", "", "Simple", "ExternalTs"};
    return modes[info.param.mode] + std::string(info.param.manyFunctions ? "ManyFunctions" : "");
}

INSTANTIATE_TEST_SUITE_P(Workloads, EndToEnd,
                         ::testing::Values(RunCase{wire::kModeNormal}, RunCase{wire::kModeSimple},
                                           RunCase{wire::kModeExternalTs},
                                           RunCase{wire::kModeNormal, true}),
                         RunName);

TEST(EndToEndLink, PacedStreamNeverGivesTheModuleABatchWithoutARecord) {
    // At the nominal rate of the shortest records the socket delivers little at a time: only the
    // data link's coalescing into blocks keeps every batch holding a whole record.
    agent::AgentOptions options = Finite(0.4, 3);
    options.speed = 1.0;
    Rig rig(wire::kModeExternalTs, options);
    rig.CollectAll();
    rig.controller->Stop();
    EXPECT_EQ(rig.store.view.Count(host::kCodeCorruptedData), 0u);
    ExpectStoreMatches(rig.store.data, rig.agentServer->Truth());
}

TEST(EndToEndLink, CaptureReplaysThroughTheEndpointToTheSameStore) {
    Rig rig(wire::kModeNormal, Finite(0.5, 13));
    const std::string path = rig.store.folder / "run.zcap";
    link::LinkCapture capture(rig.store.settings.tlnPort);
    std::string error;
    ASSERT_TRUE(capture.Open(path, error)) << error;
    rig.link->SetTap(&capture);
    rig.CollectAll();
    rig.controller->Stop();
    rig.controller.reset();
    rig.link->Close();
    ASSERT_TRUE(capture.Close(error)) << error;

    StoreRig replayed(wire::kModeNormal);
    replayed.data.StartCollection();
    {
        CaptureReplayer replayer(replayed.data, rig.store.settings.diagPort,
                                 rig.store.settings.tlnPort);
        CaptureReader reader;
        ASSERT_TRUE(reader.Open(path, error)) << error;
        CaptureRecord record;
        while (reader.Next(record, error))
            replayer.Feed(record);
        EXPECT_TRUE(error.empty()) << error;
    }
    ExpectStoreMatches(replayed.data, rig.agentServer->Truth());
}

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
    ASSERT_TRUE(rig.controller->Start());
    ASSERT_TRUE(WaitUntil([&] { return rig.controller->endpoint().started(); }));
    rig.agentServer->ReleaseStream();
    ASSERT_TRUE(rig.agentServer->WaitStreamEnded(std::chrono::seconds(60)));
    ASSERT_TRUE(WaitUntil(
        [&] { return rig.link->dataBytesDelivered() >= rig.agentServer->streamBytesSent(); }));
    rig.controller->Stop();
    EXPECT_EQ(rig.agentServer->streamsStarted(), 2u);
    EXPECT_GT(TaskOf(rig.store.data, 1000).runs, 0u);
}

TEST(EndToEndFaults, BadTaskNameIsReportedAndTheFiguresStillHold) {
    agent::AgentOptions options = Finite(0.5);
    options.faults.push_back({agent::FaultKind::BadName, 0.0});
    Rig rig(wire::kModeSimple, options);
    rig.CollectAll();
    rig.controller->Stop();
    EXPECT_EQ(rig.store.view.Count(host::kCodeTaskInfoCorrupted), 1u);
    rig.store.view.Dispatch(*rig.controller);
    EXPECT_EQ(rig.store.output.CountStatus("Task Info data corrupted"), 1u);
    EXPECT_EQ(TaskOf(rig.store.data, 1002).name, "RR-Task");
    ExpectStoreMatches(rig.store.data, rig.agentServer->Truth());
}

TEST(EndToEndFaults, BurstFarAboveTheNominalRateLosesNothing) {
    agent::AgentOptions options = Finite(0.6);
    options.faults.push_back({agent::FaultKind::Burst, 0.2});
    Rig rig(wire::kModeNormal, options);
    rig.CollectAll();
    rig.controller->Stop();
    const GroundTruth truth = rig.agentServer->Truth();
    // 0.6 s of the nominal workload switch about 1700 times; the storm of 0.2 s adds over 8000.
    EXPECT_GT(truth.switchCount, 9000u);
    EXPECT_EQ(rig.link->dataBytesReceived(), rig.agentServer->streamBytesSent());
    ExpectStoreMatches(rig.store.data, truth);
    EXPECT_EQ(rig.store.data.GetCpuLoad(), truth.CpuLoad());
}

} // namespace
} // namespace zuta::test
