#include "agent/CollectorAgent.h"
#include "agent/NumberOption.h"
#include "link/TcpStream.h"

#include <CLI/CLI.hpp>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <pthread.h>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "C");
    CLI::App app{"zuta-agent: a simulated modem target that runs the collector agent.\n"
                 "It listens on loopback, answers the collector commands of the command link and "
                 "streams a deterministic, modem-like workload over the data link in the sampling "
                 "mode that \"Start\" asks for."};
    zuta::agent::AgentOptions options;
    std::string listen = "127.0.0.1:5170";
    std::vector<std::string> faults;
    bool quiet = false;
    app.add_option("--listen", listen, "Address to listen on, HOST:PORT (port 0: any free port)")
        ->capture_default_str();
    app.add_option("--seed", options.seed,
                   "Seed of the workload; the same seed gives the same data")
        ->capture_default_str();
    app.add_option(
           "--speed", options.speed,
           "Simulated seconds per wall-clock second; 0 streams as fast as the link takes it")
        ->capture_default_str()
        ->check(zuta::agent::FiniteNumber(0.0, 1000.0));
    app.add_option("--duration", options.duration,
                   "Simulated seconds streamed after each Start; 0 streams until Stop")
        ->capture_default_str()
        ->check(zuta::agent::FiniteNumber(0.0, 86400.0));
    app.add_option("--start-delay", options.startDelayMs,
                   "Milliseconds between the answer to Start and the first data")
        ->capture_default_str()
        ->check(zuta::agent::FiniteNumber(0.0, 60000.0));
    app.add_option("--identity", options.identity, "Name the host resolves the agent's sender to")
        ->capture_default_str();
    app.add_option("--diag-port", options.diagPort, "Link port of the agent's messages (0..30)")
        ->capture_default_str()
        ->check(CLI::Range(0, 30));
    app.add_option("--fault", faults,
                   "Inject a fault, KIND[@SECONDS of simulated time]; KIND is corrupt (bytes that "
                   "hold no frame), drop (bytes lost now and then), badname (a task name with a "
                   "'-'), disconnect (both links closed), burst (an interrupt storm far above the "
                   "nominal rate); repeatable");
    app.add_flag("--many-functions", options.manyFunctions,
                 "The layer-1 task also calls functions 13 to 255, so that a collection holds "
                 "more than 200 tasks, IRQs and functions");
    app.add_option("--truth", options.truthPath,
                   "Write the ground truth of every stream (per-task runs, ticks, counter sums; "
                   "CPU load) to this JSON file");
    app.add_flag("--quiet", quiet, "Print nothing but the listening address");
    app.footer("Example: zuta-agent --listen 127.0.0.1:0 --speed 1 --truth truth.json\n"
               "then: zuta collect --agent 127.0.0.1:PORT --seconds 5 -o run.zuta");
    CLI11_PARSE(app, argc, argv);

    if (!zuta::link::ParseHostPort(listen, options.host, options.port)) {
        std::cerr << "zuta-agent: --listen needs HOST:PORT, not " << listen << '\n';
        return 2;
    }
    for (const std::string& text : faults) {
        zuta::agent::Fault fault;
        if (!zuta::agent::ParseFault(text, fault)) {
            std::cerr << "zuta-agent: unknown fault " << text << '\n';
            return 2;
        }
        options.faults.push_back(fault);
    }

    // Signals are taken by this thread alone, so the agent's threads never see them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    zuta::agent::CollectorAgent agent(options);
    if (!quiet)
        agent.SetLog([](std::string_view line) { std::cerr << "zuta-agent: " << line << '\n'; });
    std::string error;
    if (!agent.Start(error)) {
        std::cerr << "zuta-agent: " << error << '\n';
        return 1;
    }
    std::cout << "listening on " << options.host << ':' << agent.port() << std::endl;
    int received = 0;
    sigwait(&signals, &received);
    agent.Shutdown();
    return 0;
}
