// The module against the simulated target over loopback: what the module computes must equal
// the ground truth the agent kept of what it sent.
#include "LinkTestSupport.h"
#include "agent/CollectorAgent.h"
#include "collection/CollectionController.h"
#include "collection/CollectionReplay.h"
#include "collection/TaskTable.h"
#include "engine/WireEncoder.h"
#include "engine/WireFormat.h"
#include "files/SessionFile.h"
#include "link/HostLink.h"
#include "link/LinkCapture.h"

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

    // Starts, lets the agent stream once the module has its answer, and waits until every byte
    // the agent sent has reached the module.
    void CollectAll() {
        ASSERT_TRUE(controller->Start());
        ASSERT_TRUE(WaitUntil([&] { return controller->endpoint().started(); }));
        agentServer->ReleaseStream();
        ASSERT_TRUE(agentServer->WaitStreamEnded(std::chrono::seconds(60)));
        ASSERT_TRUE(WaitUntil(
            [&] { return link->dataBytesDelivered() == agentServer->streamBytesSent(); }));
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

class EndToEnd : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(EndToEnd, ModuleFiguresEqualTheAgentsGroundTruth) {
    Rig rig(GetParam(), Finite(1.2));
    rig.CollectAll();
    rig.controller->Stop();

    const GroundTruth truth = rig.agentServer->Truth();
    EXPECT_EQ(truth.samplingMode, GetParam());
    EXPECT_GT(truth.switchCount, 500u);
    EXPECT_GT(truth.functionEventCount, 100u);
    EXPECT_GT(truth.userEventCount, 0u);
    ExpectStoreMatches(rig.store.data, truth);
    EXPECT_EQ(rig.store.data.GetCpuLoad(), truth.CpuLoad());
    EXPECT_GT(truth.CpuLoad(), 5u);
    EXPECT_LT(truth.CpuLoad(), 95u);
    EXPECT_EQ(rig.store.view.Count(host::kCodeCorruptedData), 0u);
    EXPECT_FALSE(rig.controller->collecting());

    // The session file written after the run reloads to the same table, in absolute figures and
    // in shares.
    const std::string path = rig.store.folder / "run.zuta";
    std::string error;
    ASSERT_TRUE(SaveSessionFile(rig.store.data, path, error)) << error;
    StoreRig reloaded(GetParam());
    ASSERT_TRUE(LoadSessionFile(reloaded.data, path, error)) << error;
    for (const bool percent : {false, true}) {
        const auto tableOf = [&](const CPerformanceData& data) {
            TaskTable table;
            table.BuildColumns(1, false);
            table.RebuildRows(data);
            table.RefreshStatistics(data, StatisticsOptions{percent, false, 208.0f});
            return table;
        };
        const TaskTable live = tableOf(rig.store.data);
        const TaskTable again = tableOf(reloaded.data);
        ASSERT_EQ(again.rowCount(), live.rowCount());
        for (std::size_t row = 0; row < live.rowCount(); ++row)
            for (std::size_t column = 0; column < live.columns().size(); ++column)
                EXPECT_EQ(again.Cell(row, column), live.Cell(row, column))
                    << "row " << row << " column " << column << (percent ? " in shares" : "");
    }
}

INSTANTIATE_TEST_SUITE_P(SamplingModes, EndToEnd,
                         ::testing::Values(wire::kModeNormal, wire::kModeSimple,
                                           wire::kModeExternalTs),
                         [](const ::testing::TestParamInfo<std::uint32_t>& mode) {
                             return mode.param == 0   ? std::string("Full")
                                    : mode.param == 2 ? std::string("Simple")
                                                      : std::string("ExternalTs");
                         });

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

TEST(EndToEndLink, RawDataBlocksOfFullModeAreDumpedAndEchoed) {
    Rig rig(wire::kModeNormal, Finite(1.1));
    rig.CollectAll();
    rig.controller->Stop();
    const GroundTruth truth = rig.agentServer->Truth();
    ASSERT_EQ(truth.rawBlocks, 2u);
    EXPECT_NE(rig.store.output.Raw().find("Data ID 1, Len = "), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(rig.store.folder / "DataID1.bin"));
    EXPECT_TRUE(std::filesystem::exists(rig.store.folder / "DataID2.bin"));
}

TEST(EndToEndLink, StartSendsTheSequenceTheAgentExpects) {
    Rig rig(wire::kModeSimple, Finite(0.05));
    rig.store.settings.cpuType = 0;
    rig.CollectAll();
    rig.controller->Stop();
    ASSERT_TRUE(WaitUntil([&] { return rig.agentServer->Commands().size() == 3; }));
    const auto commands = rig.agentServer->Commands();
    EXPECT_EQ(commands[0].command, "ConfigData");
    EXPECT_EQ(commands[0].payload, std::vector<std::uint8_t>(16, 0));
    EXPECT_EQ(commands[1].command, "Start");
    EXPECT_EQ(commands[1].payload, wire::StartPayload(0xD0800000u, 0xD0FFFFFFu, 2));
    EXPECT_EQ(commands[2].command, "Stop");
    EXPECT_TRUE(commands[2].payload.empty());
    for (const auto& command : commands) {
        EXPECT_EQ(command.agent, "DataCollector");
        EXPECT_EQ(command.group, "Collector");
    }
    const auto raws = rig.agentServer->RawSends();
    ASSERT_EQ(raws.size(), 1u);
    EXPECT_EQ(raws[0].portMask, 0x04u);
    EXPECT_EQ(raws[0].bytes, std::vector<std::uint8_t>{0xAA});
    EXPECT_EQ(rig.store.output.Status(),
              (std::vector<std::string>{"Send Data to the Target", "Open TLN", "DC Started",
                                        "Send Data to the Target"}));
}

TEST(EndToEndLink, TaskInfoClickBringsTheTaskControlBlock) {
    Rig rig(wire::kModeNormal, Finite(0.3));
    rig.CollectAll();
    const std::uint32_t l1Task = rig.store.data.GetTaskIdByName("L1_Task");
    ASSERT_EQ(l1Task, 1001u);
    EXPECT_FALSE(rig.controller->SendTaskInfoRequest(20 + wire::kTaskIdBase)); // a HISR
    EXPECT_FALSE(rig.controller->SendTaskInfoRequest(4));                      // an IRQ
    ASSERT_TRUE(rig.controller->SendTaskInfoRequest(l1Task));
    ASSERT_TRUE(WaitUntil([&] { return rig.store.view.CountCommand(host::kNotifyShowTcb) == 1; }));
    std::array<std::uint32_t, 42> tcb{};
    rig.store.data.GetTcbBlock(tcb);
    EXPECT_EQ(tcb[0], 1u);
    const std::uint32_t nameWords[2] = {tcb[4], tcb[5]};
    std::string name;
    for (const std::uint32_t word : nameWords)
        for (int shift = 0; shift < 32; shift += 8)
            if (const char c = static_cast<char>(word >> shift); c != 0)
                name += c;
    EXPECT_EQ(name, "L1_Task");
    rig.controller->Stop();
    EXPECT_FALSE(rig.controller->SendTaskInfoRequest(l1Task)); // not during a collection
}

TEST(EndToEndFaults, CorruptedDataEndsTheCollection) {
    agent::AgentOptions options = Finite(0.6);
    options.faults.push_back({agent::FaultKind::Corrupt, 0.3});
    Rig rig(wire::kModeNormal, options);
    rig.CollectAll();
    ASSERT_GE(rig.store.view.Count(host::kCodeCorruptedData), 1u);
    rig.store.view.Dispatch(*rig.controller);
    EXPECT_FALSE(rig.controller->collecting());
    EXPECT_EQ(rig.store.output.CountStatus("Corrupted data received"), 1u);
    // What came before the corruption was taken in.
    TaskRecord idle;
    ASSERT_TRUE(rig.store.data.GetTaskById(1000, idle));
    EXPECT_GT(idle.runs, 10u);
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
    TaskRecord idle;
    ASSERT_TRUE(rig.store.data.GetTaskById(1000, idle));
    EXPECT_GT(idle.runs, 0u);
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
    TaskRecord rr;
    ASSERT_TRUE(rig.store.data.GetTaskById(1002, rr));
    EXPECT_EQ(rr.name, "RR-Task");
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

TEST(EndToEndFaults, DroppedBytesNeverCrashTheModule) {
    agent::AgentOptions options = Finite(0.8);
    options.faults.push_back({agent::FaultKind::Drop, 0.1});
    Rig rig(wire::kModeNormal, options);
    rig.CollectAll();
    rig.controller->Stop();
    const GroundTruth truth = rig.agentServer->Truth();
    std::uint64_t runs = 0;
    for (std::size_t i = 0; i < rig.store.data.GetTaskCount(); ++i) {
        TaskRecord task;
        ASSERT_TRUE(rig.store.data.GetTaskByIndex(i, task));
        runs += task.runs;
    }
    // Records cut by the gaps are lost, the rest is counted.
    EXPECT_GT(runs, truth.switchCount / 2);
    EXPECT_LE(runs, truth.switchCount + 50);
}

} // namespace
} // namespace zuta::test
