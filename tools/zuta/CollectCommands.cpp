#include "Commands.h"
#include "Session.h"
#include "TablePrinter.h"
#include "agent/CollectorAgent.h"
#include "collection/CollectionController.h"
#include "collection/CollectionView.h"
#include "collection/TaskTable.h"
#include "engine/WireFormat.h"
#include "link/HostLink.h"
#include "link/LinkCapture.h"
#include "link/TcpStream.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zuta::cli {

namespace {

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) {
    g_interrupted = 1;
}

struct CollectOptions {
    std::string agent;
    bool simulate = false;
    double seconds = 5.0;
    std::string capture;
    std::string output;
    std::uint64_t seed = 1;
    std::string truth;
    std::string outDir = "zuta-demo";
    std::vector<std::string> faults;
    StoreOptions store;
};

// The live table, laid out as the window shows it.
std::string Bytes(std::uint64_t n) {
    char text[32];
    if (n >= (1u << 20))
        std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(n) / (1u << 20));
    else
        std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(n) / 1024);
    return text;
}

struct CollectResult {
    bool truthMatches = false;
    // Why the collection ended before its time; empty when it ran its course.
    std::string cutShort;
    agent::GroundTruth truth;
};

// Whether the store holds exactly what the agent says it sent.
bool MatchesTruth(CPerformanceData& data, const agent::GroundTruth& truth) {
    for (const auto& [id, expected] : truth.tasks) {
        TaskRecord task;
        if (!data.GetTaskById(id, task) || task.runs != expected.runs ||
            task.ticks != expected.ticks || task.sumValue0 != expected.sumValue0 ||
            task.sumValue1 != expected.sumValue1 || task.sumValue2 != expected.sumValue2)
            return false;
    }
    return data.GetCpuLoad() == truth.CpuLoad();
}

// One collection through the collector endpoint: against the simulated target (which then
// streams exactly `seconds` of its workload) or a target at an address (stopped after `seconds`).
CollectResult Collect(Session& session, const CollectOptions& options) {
    std::unique_ptr<agent::CollectorAgent> simulated;
    std::string host = "127.0.0.1";
    std::uint16_t port = 0;
    if (options.simulate) {
        agent::AgentOptions agentOptions;
        agentOptions.seed = options.seed;
        agentOptions.duration = options.seconds;
        agentOptions.holdStream = true;
        for (const std::string& text : options.faults) {
            agent::Fault fault;
            if (!agent::ParseFault(text, fault))
                Fail("unknown fault '" + text + "'", kExitUsage);
            agentOptions.faults.push_back(fault);
        }
        simulated = std::make_unique<agent::CollectorAgent>(agentOptions);
        std::string error;
        if (!simulated->Start(error))
            Fail("cannot start the simulated target: " + error, kExitNoTarget);
        port = simulated->port();
    } else if (!link::ParseHostPort(options.agent, host, port)) {
        Fail("--agent needs HOST:PORT or [IPv6]:PORT, not '" + options.agent + "'", kExitUsage);
    }

    const std::string address = host + ":" + std::to_string(port);
    link::HostLink hostLink(link::TcpLinkOpener(host, port));
    std::unique_ptr<link::LinkCapture> capture;
    if (!options.capture.empty()) {
        capture = std::make_unique<link::LinkCapture>(session.settings().tlnPort);
        std::string error;
        if (!capture->Open(options.capture, error))
            Fail(error, kExitCannotWrite);
        hostLink.SetTap(capture.get());
    }
    // Opened here, within the link's time limit, so a target that does not answer is one line.
    // The capture is tapped first: the target names its senders as soon as it is connected.
    if (!hostLink.Open({}))
        Fail("cannot reach the target at " + address + ": " + hostLink.lastError(), kExitNoTarget);
    session.output().SetEcho(!session.options().quiet);
    // The session's collection goes on this link for the time of the collection.
    CollectionController& controller =
        session.collection().ConnectLinks(&hostLink, &hostLink, &hostLink);
    // A failure leaves the collection off this link before the link goes.
    const auto failOnLink = [&](const std::string& message) {
        session.collection().ConnectLinks(nullptr, nullptr, nullptr);
        Fail(message, kExitNoTarget);
    };
    if (!controller.Start())
        failOnLink("cannot start a collection at the target at " + address);
    g_interrupted = 0;
    const auto previous = std::signal(SIGINT, OnInterrupt);
    const auto start = Clock::now();
    const bool showProgress = !session.options().quiet && ::isatty(2) != 0;
    CollectResult result;
    bool released = false;
    auto lastShown = Clock::time_point{};
    while (controller.collecting() && g_interrupted == 0) {
        // Notifications reach the controller here, on this thread, as they reach the window.
        for (const auto& [command, code] : session.notifications().Take()) {
            if (command != host::kNotifyStatus)
                continue;
            if (code == host::kCodeCorruptedData && controller.collecting())
                result.cutShort = "corrupted data received";
            else if (code == host::kCodeLinkClosed && controller.collecting())
                result.cutShort = "the link to the target was lost";
            controller.HandleStatusNotification(code);
        }
        if (!controller.collecting())
            break;
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        // A target that took the connections but never answers "Start" ends the command too.
        const double answerLimit =
            simulated ? 10.0 : std::chrono::duration<double>(link::kConnectTimeout).count();
        if (!released && !controller.endpoint().started() && elapsed > answerLimit) {
            std::signal(SIGINT, previous);
            failOnLink("the target at " + address + " did not answer: no message from \"" +
                       wire::kAgentIdentity + "\" came on diag port " +
                       std::to_string(session.settings().diagPort));
        }
        if (simulated) {
            // The simulated target streams once the module has its answer, and ends by itself.
            if (!released && controller.endpoint().started()) {
                simulated->ReleaseStream();
                released = true;
            }
            if (released && simulated->WaitStreamEnded(std::chrono::milliseconds(0)) &&
                hostLink.dataBytesDelivered() >= simulated->streamBytesSent())
                break;
        } else if (elapsed >= options.seconds) {
            break;
        }
        if (showProgress && Clock::now() - lastShown >= std::chrono::milliseconds(250)) {
            lastShown = Clock::now();
            const std::size_t samples =
                session.data().Read([](const StoreState& s) { return s.samples.size(); });
            std::fprintf(stderr, "\rcollecting %5.1f s  %10s  %9zu samples  CPU load %3u %%",
                         elapsed, Bytes(hostLink.dataBytesDelivered()).c_str(), samples,
                         session.data().GetCpuLoad());
            std::fflush(stderr);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (showProgress)
        std::fputc('\n', stderr);
    std::signal(SIGINT, previous);
    controller.Stop();
    session.collection().ConnectLinks(nullptr, nullptr, nullptr);
    session.output().SetEcho(false);
    hostLink.Close();
    if (capture) {
        std::string error;
        if (!capture->Close(error))
            Fail(error, kExitCannotWrite);
    }
    if (g_interrupted != 0 && result.cutShort.empty())
        result.cutShort = "interrupted";

    if (simulated) {
        result.truth = simulated->Truth();
        result.truthMatches = MatchesTruth(session.data(), result.truth);
        simulated->Shutdown();
    }
    return result;
}

void SaveTruth(const agent::GroundTruth& truth, const std::string& path) {
    std::string error;
    if (!truth.Save(path, error))
        Fail(error, kExitCannotWrite);
}

// Refuses, before anything is collected, an output whose folder is missing or not writable.
void CheckWritable(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path folder =
        fs::path(path).parent_path().empty() ? fs::path(".") : fs::path(path).parent_path();
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        Fail("cannot write '" + path + "': the folder '" + folder.string() + "' does not exist",
             kExitCannotWrite);
    if (::access(folder.c_str(), W_OK) != 0)
        Fail("cannot write '" + path + "': " + std::strerror(errno), kExitCannotWrite);
}

std::size_t SampleCount(Session& session) {
    return session.data().Read([](const StoreState& s) { return s.samples.size(); });
}

// The end of a collection command: the status says how the collection went.
void FinishCollection(const CollectResult& result, bool simulated) {
    if (simulated)
        std::cout << "Ground truth of the simulated target: "
                  << (result.truthMatches ? "matches" : "differs") << '\n';
    if (!result.cutShort.empty())
        Fail("the collection ended early: " + result.cutShort + "; what was collected is saved",
             kExitCutShort);
    if (simulated && !result.truthMatches)
        Fail("the collection differs from the simulated target's own count", kExitCutShort);
}

void RunCollect(const CollectOptions& options) {
    if (options.simulate == !options.agent.empty())
        Fail("give either --agent HOST:PORT or --simulate", kExitUsage);
    if (!options.faults.empty() && !options.simulate)
        Fail("--fault needs --simulate", kExitUsage);
    CheckWritable(options.output);
    if (!options.capture.empty())
        CheckWritable(options.capture);
    Session session(options.store);
    const CollectResult result = Collect(session, options);
    ReportDamage(session);
    if (SampleCount(session) == 0)
        Fail("nothing was collected; '" + options.output + "' was not written", kExitNoData);
    std::string error;
    if (!session.collection().Save(options.output, error))
        Fail(error, kExitCannotWrite);
    if (options.simulate && !options.truth.empty())
        SaveTruth(result.truth, options.truth);
    PrintCollectionTable(session);
    FinishCollection(result, options.simulate);
}

void RunDemo(CollectOptions options) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(fs::path(options.outDir) / "dumps", ec);
    if (ec)
        Fail("cannot create " + options.outDir + ": " + ec.message(), kExitCannotWrite);
    CheckWritable((fs::path(options.outDir) / "demo.zuta").string());
    // The demo keeps its settings and dumps in its own folder, away from the user's.
    if (options.store.settingsPath.empty())
        options.store.settingsPath = (fs::path(options.outDir) / "settings.ini").string();
    options.simulate = true;
    Session session(options.store);
    session.settings().dumpPath = (fs::path(options.outDir) / "dumps").string();
    std::cerr << "zuta demo: collecting " << options.seconds
              << " s from the simulated target (seed " << options.seed << ")\n";
    const CollectResult result = Collect(session, options);
    ReportDamage(session);
    if (SampleCount(session) == 0)
        Fail("nothing was collected; nothing was written", kExitNoData);

    const std::string sessionPath = (fs::path(options.outDir) / "demo.zuta").string();
    const std::string textPath = (fs::path(options.outDir) / "demo.txt").string();
    const std::string truthPath = (fs::path(options.outDir) / "truth.json").string();
    std::string error;
    if (!session.collection().Save(sessionPath, error))
        Fail(error, kExitCannotWrite);
    TaskTable table;
    table.BuildColumns(session.settings().cpuType, session.settings().simpleMode);
    table.RebuildRows(session.data());
    if (!session.collection().ExportText(table.IdTexts(), textPath, error))
        Fail(error, kExitCannotWrite);
    SaveTruth(result.truth, truthPath);
    PrintCollectionTable(session);
    std::cout << "Wrote " << sessionPath << ", " << textPath << " and " << truthPath << '\n';
    FinishCollection(result, true);
}

void AddCollectOptions(CLI::App& command, CollectOptions& options) {
    command.add_option("--seconds", options.seconds, "How long to collect")
        ->capture_default_str()
        ->check(FiniteNumber(0.001, 86400.0));
    command.add_option("--seed", options.seed, "Seed of the simulated target's workload")
        ->capture_default_str();
    command.add_option("--fault", options.faults,
                       "With the simulated target: inject a fault, KIND[@SECONDS of simulated "
                       "time]; KIND is corrupt, drop, badname, disconnect or burst");
    AddStoreOptions(command, options.store);
}

} // namespace

void RegisterCollectCommands(CLI::App& app) {
    auto collect = std::make_shared<CollectOptions>();
    CLI::App* c = app.add_subcommand(
        "collect", "Collect from a target through the collector endpoint, save the session and "
                   "print the task table");
    auto* agentOption =
        c->add_option("--agent", collect->agent, "Address of the target's links, HOST:PORT");
    c->add_flag("--simulate", collect->simulate,
                "Collect from a simulated target started in this process")
        ->excludes(agentOption);
    c->add_option("--capture", collect->capture,
                  "Record every link message and block in a capture file (.zcap) for replay");
    c->add_option("-o,--output", collect->output, "Session file to write (.zuta)")->required();
    c->add_option("--truth", collect->truth,
                  "With --simulate: write the target's ground truth as JSON");
    AddCollectOptions(*c, *collect);
    c->callback([collect] { RunCollect(*collect); });

    auto demo = std::make_shared<CollectOptions>();
    demo->seconds = 3.0;
    CLI::App* d = app.add_subcommand(
        "demo", "Start the simulated target, collect a few seconds, save the session, export the "
                "text table and print the table");
    d->add_option("--out-dir", demo->outDir, "Folder for the session, text table and truth")
        ->capture_default_str();
    AddCollectOptions(*d, *demo);
    d->callback([demo] { RunDemo(*demo); });
}

} // namespace zuta::cli
