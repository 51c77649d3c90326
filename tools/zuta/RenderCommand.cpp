// zuta render: a graph of the module drawn offscreen by the host application for a loaded file.

#include "Commands.h"
#include "PosixProcessLauncher.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace zuta::cli {

namespace {

struct RenderOptions {
    std::string window;
    std::string file;
    std::string output;
    std::optional<unsigned> page;
    std::optional<unsigned> select;
    std::optional<unsigned> zoom;
    std::optional<unsigned> first;
    bool live = false;
    std::string hostProgram;
    double timeLimit = 60.0;
};

void Run(const RenderOptions& options, host::IProcessLauncher& launcher) {
    std::error_code error;
    const std::filesystem::path file = std::filesystem::absolute(options.file, error);
    host::ProcessRequest request;
    request.program = options.hostProgram.empty() ? DefaultHostProgram() : options.hostProgram;
    // The host pictures the module's window by name with key=value options.
    request.arguments = {"--screenshot",    options.output,
                         "--render",        options.window,
                         "--render-option", "file=" + (error ? options.file : file.string())};
    auto option = [&request](const std::string& text) {
        request.arguments.push_back("--render-option");
        request.arguments.push_back(text);
    };
    if (options.page)
        option("page=" + std::to_string(*options.page));
    if (options.select)
        option("select=" + std::to_string(*options.select));
    if (options.zoom)
        option("zoom=" + std::to_string(*options.zoom));
    if (options.first)
        option("first=" + std::to_string(*options.first));
    if (options.live)
        option("live=1");
    request.environment.emplace_back("QT_QPA_PLATFORM", "offscreen");
    request.timeLimit = std::chrono::milliseconds(static_cast<long long>(options.timeLimit * 1000));
    const host::ProcessResult result = launcher.Run(request);
    if (!result.started || !result.error.empty())
        Fail(result.error, kExitCannotWrite);
    // The host said why on its own error output; its status names the cause.
    switch (result.exitCode) {
    case 0:
        return;
    case 1:
        Fail("no picture: " + options.file + " cannot be shown", kExitBadInput);
    case 2:
        Fail("no picture: the host refused the page, box or window", kExitUsage);
    default:
        Fail("no picture: " + request.program + " exited with " + std::to_string(result.exitCode),
             kExitCannotWrite);
    }
}

} // namespace

void RegisterRenderCommand(CLI::App& app) {
    auto options = std::make_shared<RenderOptions>();
    CLI::App* r = app.add_subcommand(
        "render", "Render a graph of a loaded session file, raw log or capture offscreen to a PNG "
                  "file, as the graph's window shows it");
    r->add_option("window", options->window, "Which graph: task-graph or function-graph")
        ->required()
        ->check(CLI::IsMember({"task-graph", "function-graph"}));
    r->add_option("file", options->file, "Session file (.zuta), raw log (.log) or capture (.zcap)")
        ->required()
        ->check(CLI::ExistingFile);
    r->add_option("-o,--output", options->output, "PNG file to write")->required();
    r->add_option("--page", options->page, "Page to show, from 0 (default: the first)");
    r->add_option("--select", options->select,
                  "Box of the page (task graph) or call (function graph) to select as a click "
                  "would, from 0 (default: the first)");
    r->add_option("--zoom", options->zoom,
                  "Function graph: presses of \"+\" (each doubles the zoom), at most 30");
    r->add_option("--first", options->first,
                  "Function graph: the first call shown, from 0, as the scroll bar pages");
    r->add_flag("--live", options->live,
                "Show the live graph: the newest samples, as during a collection");
    r->add_option("--host", options->hostProgram,
                  "The host program that draws the window (default: zuta-host beside zuta, or "
                  "$ZUTA_HOST)");
    r->add_option("--time-limit", options->timeLimit,
                  "Seconds the host may take before it is stopped")
        ->capture_default_str()
        ->check(FiniteNumber(1.0, 3600.0));
    r->callback([options] {
        PosixProcessLauncher launcher;
        Run(*options, launcher);
    });
}

} // namespace zuta::cli
