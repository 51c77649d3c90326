#include "Session.h"

#include "Commands.h"
#include "host/IniSettingsStore.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <unistd.h>
#include <utility>

namespace zuta::cli {

void RecordingNotifications::PostNotification(std::uint32_t command, std::uint32_t code) {
    std::lock_guard lock(mutex_);
    posted_.emplace_back(command, code);
}

std::vector<std::pair<std::uint32_t, std::uint32_t>> RecordingNotifications::Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(posted_, {});
}

void ConsoleOutput::WriteStatusLine(std::string_view text) {
    if (echoStatus_)
        std::cerr << text << '\n';
}

void ConsoleOutput::WriteRawText(std::string_view text) {
    std::lock_guard lock(mutex_);
    raw_ += text;
}

std::string ConsoleOutput::rawText() const {
    std::lock_guard lock(mutex_);
    return raw_;
}

host::MessageResult ConsoleMessageBox::Show(std::string_view, std::string_view, host::MessageIcon,
                                            host::MessageButtons) {
    // Every command reports its failure in one line of its own; the box adds nothing to it.
    return host::MessageResult::Ok;
}

std::string Session::DefaultSettingsPath() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0')
        return std::string(xdg) + "/zuta/settings.ini";
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return std::string(home) + "/.config/zuta/settings.ini";
    return "zuta-settings.ini";
}

Session::Session(const StoreOptions& options) : options_(options), output_(false) {
    const std::string path =
        options.settingsPath.empty() ? DefaultSettingsPath() : options.settingsPath;
    auto ini = std::make_unique<host::IniSettingsStore>(path);
    if (const std::string error = ini->lastError(); !error.empty() && !options.quiet)
        std::cerr << "zuta: warning: settings: " << error << '\n';
    store_ = std::move(ini);

    SessionServices services;
    services.settingsStore = store_.get();
    services.output = &output_;
    services.messageBox = &messageBox_;
    services.view = &notifications_;
    collection_ = std::make_unique<CollectionSession>(services);

    PerformanceSettings& settings = collection_->settings();
    if (options.mode == "full") {
        settings.simpleMode = false;
        settings.externalTsMode = false;
    } else if (options.mode == "simple") {
        settings.simpleMode = true;
        settings.externalTsMode = false;
    } else if (options.mode == "ext") {
        settings.simpleMode = true;
        settings.externalTsMode = true;
    }
    if (options.clockMhz >= 0.0)
        settings.armClockMhz = static_cast<float>(options.clockMhz);
    if (!options.idleTask.empty())
        settings.idleTaskName = options.idleTask;
    collection_->ApplySettings();
    // A capture replays with the ports it was recorded with, unless settings were given.
    collection_->SetReplayPortsFromSettings(!options.settingsPath.empty());
}

Session::~Session() = default;

bool Session::LoadInput(const std::string& path, std::string& error) {
    const char* verb = DataFileKindOf(path) == DataFileKind::Capture ? "replaying" : "loading";
    const bool opened = collection_->Open(path, error, ConsoleProgress(verb, path, options_.quiet));
    for (const std::string& warning : collection_->warnings())
        std::cerr << "zuta: warning: " << warning << '\n';
    return opened;
}

LoadProgress ConsoleProgress(const std::string& verb, const std::string& path, bool quiet) {
    if (quiet || ::isatty(2) == 0)
        return {};
    auto shown = std::make_shared<int>(-1);
    return [verb, path, shown](std::uint64_t done, std::uint64_t total) {
        constexpr std::uint64_t kWorthShowing = 8u << 20;
        if (total < kWorthShowing)
            return;
        const int percent = static_cast<int>(std::min<std::uint64_t>(done * 100 / total, 100));
        if (percent == *shown)
            return;
        *shown = percent;
        std::fprintf(stderr, "\r%s %s: %d%%%s", verb.c_str(), path.c_str(), percent,
                     done >= total ? "\n" : "");
    };
}

void AddStoreOptions(CLI::App& command, StoreOptions& options) {
    command.add_option("--settings", options.settingsPath,
                       "Settings file (default: $XDG_CONFIG_HOME/zuta/settings.ini)");
    command.add_option("--mode", options.mode, "Sampling mode of the data: full, simple or ext")
        ->check(CLI::IsMember({"full", "simple", "ext"}));
    command.add_option("--clock", options.clockMhz, "Core clock in MHz (0: unknown)")
        ->check(FiniteNumber(0.0, 100000.0));
    command.add_option("--idle", options.idleTask, "Name of the idle task");
    command.add_flag("-q,--quiet", options.quiet, "No status lines or progress on stderr");
}

} // namespace zuta::cli
