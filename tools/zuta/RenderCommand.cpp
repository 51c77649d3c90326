// zuta render: a graph of the module drawn offscreen by the host application for a loaded file.

#include "Commands.h"
#include "PosixProcessLauncher.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zuta::cli {

void RenderWithHost(const HostPicture& picture) {
    host::ProcessRequest request;
    request.program = picture.hostProgram.empty() ? DefaultHostProgram() : picture.hostProgram;
    // The host pictures the module's window by name with key=value options.
    request.arguments = {"--screenshot", picture.output, "--render", picture.window};
    if (!picture.file.empty()) {
        std::error_code error;
        const std::filesystem::path file = std::filesystem::absolute(picture.file, error);
        request.arguments.push_back("--render-option");
        request.arguments.push_back("file=" + (error ? picture.file : file.string()));
    }
    for (const std::string& option : picture.options) {
        request.arguments.push_back("--render-option");
        request.arguments.push_back(option);
    }
    request.environment.emplace_back("QT_QPA_PLATFORM", "offscreen");
    // Drawing one window takes seconds; a host that hangs is not waited for.
    request.timeLimit = std::chrono::milliseconds(static_cast<long long>(picture.timeLimit * 1000));
    PosixProcessLauncher launcher;
    const host::ProcessResult result = launcher.Run(request);
    if (!result.started || !result.error.empty())
        Fail(result.error, kExitCannotWrite);
    // The host said why on its own error output; its status names the cause.
    switch (result.exitCode) {
    case 0:
        return;
    case 1:
        Fail(
            "no picture: " + (picture.file.empty() ? std::string("the collection") : picture.file) +
                " cannot be shown as asked",
            kExitBadInput);
    case 2:
        Fail("no picture: the host refused the window or one of its options", kExitUsage);
    default:
        Fail("no picture: " + request.program + " exited with " + std::to_string(result.exitCode),
             kExitCannotWrite);
    }
}

void AddHostOptions(CLI::App& command, HostPicture& picture) {
    command.add_option("--host", picture.hostProgram,
                       "The host program that draws the window (default: zuta-host beside zuta, "
                       "or $ZUTA_HOST)");
    command
        .add_option("--time-limit", picture.timeLimit,
                    "Seconds the host may take before it is stopped")
        ->capture_default_str()
        ->check(FiniteNumber(1.0, 3600.0));
}

namespace {

// Options of one graph, given on to the host as "key=value".
struct GraphOptions {
    HostPicture picture;
    std::optional<unsigned> page;
    std::optional<unsigned> select;
    std::optional<unsigned> zoom;
    std::optional<unsigned> first;
    std::optional<unsigned> session;
    std::optional<unsigned> statistic;
    std::string mask;
    bool live = false;

    std::vector<std::string> KeyValues() const {
        std::vector<std::string> options;
        const auto number = [&options](const char* key, const std::optional<unsigned>& value) {
            if (value)
                options.push_back(std::string(key) + "=" + std::to_string(*value));
        };
        number("page", page);
        number("select", select);
        number("zoom", zoom);
        number("first", first);
        number("session", session);
        number("statistic", statistic);
        if (!mask.empty())
            options.push_back("mask=" + mask);
        if (live)
            options.push_back("live=1");
        return options;
    }
};

// A graph's subcommand with what every graph takes: the file, the PNG file and the host.
CLI::App* AddGraph(CLI::App& render, const std::string& window, const std::string& description,
                   const std::shared_ptr<GraphOptions>& options) {
    CLI::App* graph = render.add_subcommand(window, description);
    options->picture.window = window;
    graph
        ->add_option("file", options->picture.file,
                     "Session file (.zuta), raw log (.log) or capture (.zcap)")
        ->required()
        ->check(CLI::ExistingFile);
    graph->add_option("-o,--output", options->picture.output, "PNG file to write")->required();
    AddHostOptions(*graph, options->picture);
    graph->callback([options] {
        HostPicture picture = options->picture;
        picture.options = options->KeyValues();
        RenderWithHost(picture);
    });
    return graph;
}

void AddMaskOption(CLI::App& graph, GraphOptions& options) {
    graph.add_option("--mask", options.mask,
                     "Task whose runs close the sessions, chosen as \"Refresh\" would (default: "
                     "the setting \"Mask Event\", then FrameInt/IRQ4, then Tmr3BkUp/IRQ66)");
}

} // namespace

void RegisterRenderCommand(CLI::App& app) {
    CLI::App* r = app.add_subcommand(
        "render", "Render a graph of a loaded session file, raw log or capture offscreen to a PNG "
                  "file, as the graph's window shows it");
    r->require_subcommand(1);

    auto taskGraph = std::make_shared<GraphOptions>();
    CLI::App* t =
        AddGraph(*r, "task-graph", "The task graph: the tasks' runs on a timeline", taskGraph);
    t->add_option("--page", taskGraph->page, "Page to show, from 0 (default: the first)");
    t->add_option("--select", taskGraph->select,
                  "Box of the page to select as a click would, from 0 (default: the first)");
    t->add_flag("--live", taskGraph->live,
                "Show the live graph: the newest samples, as during a collection");

    auto functionGraph = std::make_shared<GraphOptions>();
    CLI::App* f = AddGraph(*r, "function-graph", "The function call graph", functionGraph);
    f->add_option("--zoom", functionGraph->zoom, "Presses of \"+\" (each doubles the zoom)")
        ->check(CLI::Range(0u, 30u));
    f->add_option("--first", functionGraph->first,
                  "The first call shown, from 0, as the scroll bar pages");
    f->add_option("--select", functionGraph->select,
                  "Call to select as a click would, from 0 (default: the first)");

    auto cpuGraph = std::make_shared<GraphOptions>();
    CLI::App* c = AddGraph(*r, "cpu-graph",
                           "The CPU usage graph: the load of each session between two runs of the "
                           "mask-event task, and the selected session's timeline",
                           cpuGraph);
    c->add_option("--session", cpuGraph->session, "Session to select, from 0 (default: the first)");
    AddMaskOption(*c, *cpuGraph);

    auto pie = std::make_shared<GraphOptions>();
    CLI::App* p = AddGraph(*r, "pie",
                           "The session pie of the CPU usage graph: each task's share of one "
                           "session",
                           pie);
    p->add_option("--session", pie->session, "Session of the CPU usage graph, from 0")->required();
    AddMaskOption(*p, *pie);

    auto distribution = std::make_shared<GraphOptions>();
    CLI::App* d = AddGraph(*r, "distribution",
                           "A distribution chart of the task table: each task's share of one "
                           "statistic",
                           distribution);
    d->add_option("--statistic", distribution->statistic,
                  "1 context switches, 2 MHz, 3 instructions executed, 4 access duration, "
                  "5 access count")
        ->required()
        ->check(CLI::Range(1u, 5u));
}

} // namespace zuta::cli
