#include "HostSession.h"
#include "MainWindow.h"
#include "Render.h"
#include "Screenshot.h"
#include "TargetConnection.h"

#include <CLI/CLI.hpp>
#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace {

std::filesystem::path ConfigFolder() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] != '\0') {
        return std::filesystem::path(xdg) / "zuta";
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        return std::filesystem::path(home) / ".config" / "zuta";
    }
    return std::filesystem::current_path() / "zuta";
}

std::string DefaultModulePath() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        const auto besideHost = self.parent_path() / "libZUTA.so";
        if (std::filesystem::exists(besideHost, error)) {
            return besideHost.string();
        }
    }
    return ZUTA_MODULE_BUILD_PATH;
}

// A folder of its own for a screenshot's settings and workspace, so that a picture never reads
// or changes the user's; removed on exit.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "zuta-screenshot-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~ScratchFolder() {
        if (!path_.empty()) {
            std::error_code error;
            std::filesystem::remove_all(path_, error);
        }
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace

int main(int argc, char** argv) {
    CLI::App cli{"ZUTA host: loads the performance module into a multi-document window"};
    std::string settingsPath = (ConfigFolder() / "settings.ini").string();
    std::string workspacePath;
    std::string modulePath = DefaultModulePath();
    std::string screenshotPath;
    zuta::hostapp::RenderRequest render;
    std::string openPath;
    zuta::hostapp::TargetOptions target;
    auto* settingsOption =
        cli.add_option("--settings", settingsPath, "INI file of the settings store")
            ->capture_default_str();
    auto* workspaceOption =
        cli.add_option("--workspace", workspacePath,
                       "INI file of the workspace (default: workspace.ini beside the settings)");
    cli.add_option("--module", modulePath, "the module library to load")->capture_default_str();
    auto* simulateFlag = cli.add_flag("--simulate", target.simulate,
                                      "run the simulated target inside the host and link to it");
    cli.add_option("--agent", target.agentAddress, "HOST:PORT of the target's collector agent")
        ->excludes(simulateFlag);
    cli.add_option("--seed", target.seed, "workload seed of the simulated target")
        ->needs(simulateFlag)
        ->capture_default_str();
    cli.add_option("--fault", target.faults,
                   "fault of the simulated target: corrupt, drop, badname, disconnect or burst, "
                   "optionally @SECONDS (repeatable)")
        ->needs(simulateFlag);
    cli.add_option("--open", openPath,
                   "session file (.zuta) or raw log (.log) to open; it becomes the last open file");
    cli.add_option("--screenshot", screenshotPath,
                   "render the main window offscreen to this PNG file and exit");
    cli.add_option("--render", render.window,
                   "with --screenshot: picture this window of the module instead (task-graph, "
                   "function-graph, cpu-graph, pie, distribution or a dialog such as settings)");
    cli.add_option("--render-option", render.options,
                   "KEY=VALUE option of the window pictured by --render (repeatable)");
    CLI11_PARSE(cli, argc, argv);

    const bool screenshot = !screenshotPath.empty();
    std::unique_ptr<ScratchFolder> scratch;
    if (screenshot && settingsOption->count() == 0) {
        scratch = std::make_unique<ScratchFolder>();
        settingsPath = (scratch->path() / "settings.ini").string();
        if (workspaceOption->count() == 0) {
            workspacePath = (scratch->path() / "workspace.ini").string();
        }
    }
    if (workspacePath.empty()) {
        workspacePath =
            (std::filesystem::path(settingsPath).parent_path() / "workspace.ini").string();
    }
    if (screenshot && std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }

    // Outlives the window and the module, which borrow its links.
    zuta::hostapp::TargetConnection connection;
    if (std::string error; !connection.Start(target, error)) {
        std::cerr << "zuta-host: " << error << '\n';
        return 2;
    }

    QApplication application(argc, argv);
    zuta::hostapp::MainWindow window(settingsPath);
    window.SetInteractive(!screenshot);
    window.SetTargetLinks(connection.commandLink(), connection.dataLink(),
                          connection.senderNameResolver());
    if (!openPath.empty() && !zuta::hostapp::RememberFileToOpen(window.SettingsStore(), openPath)) {
        std::cerr << "zuta-host: cannot write the settings " << settingsPath << '\n';
    }
    zuta::hostapp::HostSession session(window, workspacePath);
    window.SetCloseHandler([&session] { session.Shutdown(true); });
    if (connection.connected()) {
        window.OutputWindow().WriteStatusLine("Target: " + connection.description());
    }

    const bool started = session.Start(modulePath);
    if (!started && !screenshot) {
        window.MessageBox().Show("Cannot load the module " + modulePath + "\n" + session.error(),
                                 "Error", zuta::host::MessageIcon::Error);
    }

    if (screenshot) {
        window.resize(zuta::hostapp::kScreenshotWidth, zuta::hostapp::kScreenshotHeight);
        std::string error;
        if (!render.window.empty()) {
            render.pngPath = screenshotPath;
            const int status =
                started ? zuta::hostapp::RenderModuleWindow(window, session.module(), render, error)
                        : zuta::hostapp::kRenderNotWritten;
            session.Shutdown(false);
            if (status != 0)
                std::cerr << "zuta-host: " << (started ? error : session.error()) << '\n';
            return status;
        }
        const bool saved = zuta::hostapp::SaveScreenshot(window, screenshotPath, error);
        session.Shutdown(false);
        if (!saved) {
            std::cerr << "zuta-host: " << error << '\n';
            return 1;
        }
        return started ? 0 : 1;
    }

    window.resize(1280, 800);
    window.show();
    const int result = QApplication::exec();
    session.Shutdown(true);
    return result;
}
