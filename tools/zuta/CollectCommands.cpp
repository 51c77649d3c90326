#include "Commands.h"
#include "Session.h"
#include "TablePrinter.h"
#include "agent/CollectorAgent.h"
#include "collection/CollectionController.h"
#include "collection/CollectionView.h"
#include "collection/TaskTable.h"
#include "files/SessionFile.h"
#include "files/TextExport.h"
#include "link/HostLink.h"
#include "link/LinkCapture.h"
#include "link/TcpStream.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
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
    StoreOptions store;
};

[[noreturn]] void Fail(const std::string& message, int code = 1) {
    std::cerr << "zuta: " << message << '\n';
    throw CLI::RuntimeError(code);
}

// The view of the command line: link threads only queue; the main loop does the work.
class ConsoleView : public ICollectionView {
public:
    void PostNotification(std::uint32_t command, std::uint32_t code) override {
        std::lock_guard lock(mutex_);
        queued_.emplace_back(command, code);
    }
    void RefreshTableNow() override {}
    void RunNewTaskData() override {}
    void ArmTableRefresh() override {}

    std::vector<std::pair<std::uint32_t, std::uint32_t>> Take() {
        std::lock_guard lock(mutex_);
        return std::exchange(queued_, {});
    }

private:
    std::mutex mutex_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> queued_;
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
        simulated = std::make_unique<agent::CollectorAgent>(agentOptions);
        std::string error;
        if (!simulated->Start(error))
            Fail("cannot start the simulated target: " + error);
        port = simulated->port();
    } else if (!link::ParseHostPort(options.agent, host, port)) {
        Fail("--agent needs HOST:PORT, not '" + options.agent + "'", 2);
    }

    ConsoleView view;
    link::HostLink hostLink(link::TcpLinkOpener(host, port));
    std::unique_ptr<link::LinkCapture> capture;
    if (!options.capture.empty()) {
        capture = std::make_unique<link::LinkCapture>(session.settings().tlnPort);
        std::string error;
        if (!capture->Open(options.capture, error))
            Fail(error);
        hostLink.SetTap(capture.get());
    }
    CollectionServices services;
    services.data = &session.data();
    services.settings = &session.settings();
    services.output = &session.output();
    services.commandLink = &hostLink;
    services.dataLink = &hostLink;
    services.resolver = &hostLink;
    services.view = &view;
    auto controller = std::make_unique<CollectionController>(services);

    if (!controller->Start())
        Fail("cannot reach the target at " + host + ":" + std::to_string(port) + ": " +
             hostLink.lastError());
    g_interrupted = 0;
    const auto previous = std::signal(SIGINT, OnInterrupt);
    const auto start = Clock::now();
    const bool showProgress = !session.options().quiet && ::isatty(2) != 0;
    std::size_t storeNotes = 0;
    bool released = false;
    auto lastShown = Clock::time_point{};
    while (controller->collecting() && g_interrupted == 0) {
        // Notifications reach the controller here, on this thread, as they reach the window.
        const auto posted = session.notifications().Take();
        for (; storeNotes < posted.size(); ++storeNotes)
            if (posted[storeNotes].first == host::kNotifyStatus)
                controller->HandleStatusNotification(posted[storeNotes].second);
        for (const auto& [command, code] : view.Take())
            if (command == host::kNotifyStatus)
                controller->HandleStatusNotification(code);
        if (!controller->collecting())
            break;
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        if (simulated) {
            // The simulated target streams once the module has its answer, and ends by itself.
            if (!released && controller->endpoint().started()) {
                simulated->ReleaseStream();
                released = true;
            }
            if (released && simulated->WaitStreamEnded(std::chrono::milliseconds(0)) &&
                hostLink.dataBytesDelivered() >= simulated->streamBytesSent())
                break;
            if (!released && elapsed > 10.0)
                Fail("the simulated target did not answer");
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
    controller->Stop();
    controller.reset();
    hostLink.Close();
    if (capture) {
        std::string error;
        if (!capture->Close(error))
            Fail(error);
    }

    CollectResult result;
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
        Fail(error);
}

void RunCollect(const CollectOptions& options) {
    if (options.simulate == !options.agent.empty())
        Fail("give either --agent HOST:PORT or --simulate", 2);
    Session session(options.store);
    const CollectResult result = Collect(session, options);
    std::string error;
    if (!SaveSessionFile(session.data(), options.output, error))
        Fail(error);
    if (options.simulate && !options.truth.empty())
        SaveTruth(result.truth, options.truth);
    PrintCollectionTable(session);
    if (options.simulate)
        std::cout << "Ground truth of the simulated target: "
                  << (result.truthMatches ? "matches" : "differs") << '\n';
}

void RunDemo(CollectOptions options) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(fs::path(options.outDir) / "dumps", ec);
    if (ec)
        Fail("cannot create " + options.outDir + ": " + ec.message());
    // The demo keeps its settings and dumps in its own folder, away from the user's.
    if (options.store.settingsPath.empty())
        options.store.settingsPath = (fs::path(options.outDir) / "settings.ini").string();
    options.simulate = true;
    Session session(options.store);
    session.settings().dumpPath = (fs::path(options.outDir) / "dumps").string();
    std::cerr << "zuta demo: collecting " << options.seconds
              << " s from the simulated target (seed " << options.seed << ")\n";
    const CollectResult result = Collect(session, options);

    const std::string sessionPath = (fs::path(options.outDir) / "demo.zuta").string();
    const std::string textPath = (fs::path(options.outDir) / "demo.txt").string();
    const std::string truthPath = (fs::path(options.outDir) / "truth.json").string();
    std::string error;
    if (!SaveSessionFile(session.data(), sessionPath, error))
        Fail(error);
    TaskTable table;
    table.BuildColumns(session.settings().cpuType, session.settings().simpleMode);
    table.RebuildRows(session.data());
    if (!WriteTextExport(session.data(), session.settings(), table.IdTexts(), textPath, error))
        Fail(error);
    SaveTruth(result.truth, truthPath);
    PrintCollectionTable(session);
    std::cout << "Ground truth of the simulated target: "
              << (result.truthMatches ? "matches" : "differs") << '\n'
              << "Wrote " << sessionPath << ", " << textPath << " and " << truthPath << '\n';
    if (!result.truthMatches)
        throw CLI::RuntimeError(1);
}

void AddCollectOptions(CLI::App& command, CollectOptions& options) {
    command.add_option("--seconds", options.seconds, "How long to collect")
        ->capture_default_str()
        ->check(CLI::PositiveNumber);
    command.add_option("--seed", options.seed, "Seed of the simulated target's workload")
        ->capture_default_str();
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
