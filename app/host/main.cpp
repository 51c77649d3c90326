#include "HostSession.h"
#include "MainWindow.h"

#include <CLI/CLI.hpp>
#include <QApplication>
#include <QMdiArea>
#include <QPixmap>
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

} // namespace

int main(int argc, char** argv) {
    CLI::App cli{"ZUTA host: loads the performance module into a multi-document window"};
    std::string settingsPath = (ConfigFolder() / "settings.ini").string();
    std::string workspacePath;
    std::string modulePath = DefaultModulePath();
    std::string screenshotPath;
    cli.add_option("--settings", settingsPath, "INI file of the settings store")
        ->capture_default_str();
    cli.add_option("--workspace", workspacePath,
                   "INI file of the workspace (default: workspace.ini beside the settings)");
    cli.add_option("--module", modulePath, "the module library to load")->capture_default_str();
    cli.add_option("--screenshot", screenshotPath,
                   "render the main window offscreen to this PNG file and exit");
    CLI11_PARSE(cli, argc, argv);
    if (workspacePath.empty()) {
        workspacePath =
            (std::filesystem::path(settingsPath).parent_path() / "workspace.ini").string();
    }
    const bool screenshot = !screenshotPath.empty();
    if (screenshot && std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }

    QApplication application(argc, argv);
    zuta::hostapp::MainWindow window(settingsPath);
    zuta::hostapp::HostSession session(window, workspacePath);
    window.SetCloseHandler([&session] { session.Shutdown(true); });

    const bool started = session.Start(modulePath);
    if (!started && !screenshot) {
        window.MessageBox().Show("Cannot load the module " + modulePath + "\n" + session.error(),
                                 "Error", zuta::host::MessageIcon::Error);
    }

    if (screenshot) {
        window.resize(1280, 800);
        window.show();
        if (window.mdiArea()->subWindowList().isEmpty()) {
            if (auto* documentTemplate = window.FindDocumentTemplate("ZUTA")) {
                documentTemplate->OpenNewDocument();
            }
        }
        QApplication::processEvents();
        const bool saved = window.grab().save(QString::fromStdString(screenshotPath), "PNG");
        session.Shutdown(false);
        if (!saved) {
            std::cerr << "cannot write " << screenshotPath << '\n';
            return 1;
        }
        return started ? 0 : 1;
    }

    window.resize(1280, 800);
    window.show();
    return QApplication::exec();
}
