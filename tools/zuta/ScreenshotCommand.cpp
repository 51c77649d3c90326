#include "Commands.h"
#include "PosixProcessLauncher.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

namespace zuta::cli {

std::string DefaultHostProgram() {
    if (const char* fromEnvironment = std::getenv("ZUTA_HOST");
        fromEnvironment != nullptr && fromEnvironment[0] != '\0')
        return fromEnvironment;
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        const auto beside = self.parent_path() / "zuta-host";
        if (std::filesystem::exists(beside, error))
            return beside.string();
    }
#ifdef ZUTA_HOST_BUILD_PATH
    return ZUTA_HOST_BUILD_PATH;
#else
    return "zuta-host";
#endif
}

namespace {

struct ScreenshotOptions {
    std::string what = "main";
    std::string output;
    std::string session;
    std::string hostProgram;
    double timeLimit = 60.0;
};

// The window is drawn by the host application, offscreen; this tool stays free of any window
// toolkit and only starts it.
int RunScreenshot(const ScreenshotOptions& options, host::IProcessLauncher& launcher) {
    host::ProcessRequest request;
    request.program = options.hostProgram.empty() ? DefaultHostProgram() : options.hostProgram;
    request.arguments = {"--screenshot", options.output};
    if (!options.session.empty()) {
        request.arguments.push_back("--open");
        request.arguments.push_back(options.session);
    }
    request.environment.emplace_back("QT_QPA_PLATFORM", "offscreen");
    // Drawing one window takes seconds; a host that hangs is not waited for.
    request.timeLimit = std::chrono::milliseconds(static_cast<long long>(options.timeLimit * 1000));
    const host::ProcessResult result = launcher.Run(request);
    if (!result.started || !result.error.empty()) {
        std::cerr << "zuta: " << result.error << '\n';
        return kExitCannotWrite;
    }
    if (result.exitCode != 0) {
        std::cerr << "zuta: no screenshot: " << request.program << " exited with "
                  << result.exitCode << '\n';
        return kExitCannotWrite;
    }
    std::error_code error;
    if (!std::filesystem::exists(options.output, error)) {
        std::cerr << "zuta: no screenshot was written to " << options.output << '\n';
        return kExitCannotWrite;
    }
    return 0;
}

} // namespace

void RegisterScreenshotCommands(CLI::App& app) {
    auto options = std::make_shared<ScreenshotOptions>();
    CLI::App* s = app.add_subcommand(
        "screenshot", "Render a window offscreen to a PNG file (main: the main window, with a "
                      "session loaded when one is given; any other: that window of the module as "
                      "its command opens it, on the session when one is given)");
    // The module's windows the host can picture by name, as `zuta render` draws them without
    // options.
    s->add_option("what", options->what,
                  "Which window: main, settings, irq-names, function-names, task-info, "
                  "task-graph, cpu-graph, function-graph or distribution")
        ->required()
        ->check(CLI::IsMember({"main", "settings", "irq-names", "function-names", "task-info",
                               "task-graph", "cpu-graph", "function-graph", "distribution"}));
    s->add_option("session", options->session,
                  "Session file (.zuta) or raw log (.log) to show; a window other than main also "
                  "takes a capture (.zcap)")
        ->check(CLI::ExistingFile);
    s->add_option("-o,--output", options->output, "PNG file to write")->required();
    s->add_option("--host", options->hostProgram,
                  "The host program that draws the window (default: zuta-host beside zuta, or "
                  "$ZUTA_HOST)");
    s->add_option("--time-limit", options->timeLimit,
                  "Seconds the host may take before it is stopped")
        ->capture_default_str()
        ->check(FiniteNumber(1.0, 3600.0));
    s->callback([options] {
        if (options->what != "main") {
            RenderWithHost({options->what,
                            options->session,
                            {},
                            options->output,
                            options->hostProgram,
                            options->timeLimit});
            return;
        }
        PosixProcessLauncher launcher;
        if (const int code = RunScreenshot(*options, launcher); code != 0)
            throw CLI::RuntimeError(code);
    });
}

} // namespace zuta::cli
