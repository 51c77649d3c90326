#include "Session.h"

#include "collection/CollectionReplay.h"
#include "engine/Capture.h"
#include "files/RawLogImport.h"
#include "files/SessionFile.h"
#include "host/IniSettingsStore.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace zuta::cli {

void RecordingNotifications::PostNotification(std::uint32_t command, std::uint32_t code) {
    std::lock_guard lock(mutex_);
    posted_.emplace_back(command, code);
}

std::vector<std::pair<std::uint32_t, std::uint32_t>> RecordingNotifications::Take() const {
    std::lock_guard lock(mutex_);
    return posted_;
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

Session::Session(const StoreOptions& options) : options_(options), output_(!options.quiet) {
    const std::string path =
        options.settingsPath.empty() ? DefaultSettingsPath() : options.settingsPath;
    auto ini = std::make_unique<host::IniSettingsStore>(path);
    if (const std::string error = ini->lastError(); !error.empty() && !options.quiet)
        std::cerr << "zuta: warning: settings: " << error << '\n';
    store_ = std::move(ini);

    settings_.load(*store_);
    if (options.mode == "full") {
        settings_.simpleMode = false;
        settings_.externalTsMode = false;
    } else if (options.mode == "simple") {
        settings_.simpleMode = true;
        settings_.externalTsMode = false;
    } else if (options.mode == "ext") {
        settings_.simpleMode = true;
        settings_.externalTsMode = true;
    }
    if (options.clockMhz >= 0.0)
        settings_.armClockMhz = static_cast<float>(options.clockMhz);
    if (!options.idleTask.empty())
        settings_.idleTaskName = options.idleTask;

    data_ = std::make_unique<CPerformanceData>();
    CPerformanceData::Services services;
    services.settings = &settings_;
    services.memoryStats = &memoryStats_;
    services.notify = &notifications_;
    services.output = &output_;
    services.settingsStore = store_.get();
    services.messageBox = &messageBox_;
    data_->Initialise(services);
    ApplySamplingFlags();
    data_->SetIdleTaskName(settings_.idleTaskName);
    data_->SetCpuType(1);
}

Session::~Session() = default;

void Session::ApplySamplingFlags() {
    data_->SetSimpleMode(settings_.simpleMode);
    data_->SetExternalTsMode(settings_.externalTsMode);
}

bool Session::LoadInput(const std::string& path, std::string& error) {
    const std::string ext = std::filesystem::path(path).extension().string();
    if (ext == ".zcap")
        return ReplayCapture(path, error);
    if (ext == ".zuta") {
        const bool showProgress = !options_.quiet && ::isatty(2);
        int shownPercent = -1;
        const auto progress = [&](std::uint64_t done, std::uint64_t total) {
            if (!showProgress || total < (8u << 20) ||
                static_cast<int>(done * 100 / total) == shownPercent)
                return;
            shownPercent = static_cast<int>(done * 100 / total);
            std::fprintf(stderr, "\rloading %s: %d%%%s", path.c_str(), shownPercent,
                         done >= total ? "\n" : "");
        };
        if (!LoadSessionFile(*data_, path, error, progress)) {
            error = "'" + path + "': " + error;
            return false;
        }
        // A version 3 file has set the sampling flags of the settings; the store follows them.
        ApplySamplingFlags();
        return true;
    }
    if (ext == ".log") {
        if (!ImportRawLog(*data_, path, error)) {
            error = "'" + path + "': " + error;
            return false;
        }
        return true;
    }
    error = "'" + path + "': unknown file type '" + ext + "' (expected .zcap, .zuta or .log)";
    return false;
}

bool Session::ReplayCapture(const std::string& path, std::string& error) {
    CaptureReader reader;
    if (!reader.Open(path, error))
        return false;
    // The collection's clock is the capture's own, so durations replay exactly.
    const SystemClock::time_point base = SystemClock::time_point{} + std::chrono::hours(24 * 365);
    std::uint64_t micros = 0;
    data_->SetClock([&] { return base + std::chrono::microseconds(micros); });
    data_->SetFinishDelay(std::chrono::milliseconds(0));
    data_->StartCollection();

    const bool showProgress = !options_.quiet && reader.fileSize() > (8u << 20) && ::isatty(2);
    int shownPercent = -1;
    // The capture goes through the collector endpoint as the live links would deliver it, so
    // the agent's identity is checked and data before its first answer is dropped.
    CaptureReplayer replayer(*data_, settings_.diagPort, settings_.tlnPort);
    CaptureRecord record;
    bool ok = true;
    while (reader.Next(record, error)) {
        micros = record.micros;
        replayer.Feed(record);
        if (showProgress) {
            const int percent = static_cast<int>(reader.bytesRead() * 100 / reader.fileSize());
            if (percent != shownPercent) {
                shownPercent = percent;
                std::fprintf(stderr, "\rreplaying %s: %d%%", path.c_str(), percent);
            }
        }
    }
    if (showProgress)
        std::fputc('\n', stderr);
    if (!error.empty())
        ok = false;
    data_->FinishCollection();
    data_->SetClock(nullptr);
    return ok;
}

void AddStoreOptions(CLI::App& command, StoreOptions& options) {
    command.add_option("--settings", options.settingsPath,
                       "Settings file (default: $XDG_CONFIG_HOME/zuta/settings.ini)");
    command.add_option("--mode", options.mode, "Sampling mode of the data: full, simple or ext")
        ->check(CLI::IsMember({"full", "simple", "ext"}));
    command.add_option("--clock", options.clockMhz, "Core clock in MHz")
        ->check(CLI::NonNegativeNumber);
    command.add_option("--idle", options.idleTask, "Name of the idle task");
    command.add_flag("-q,--quiet", options.quiet, "No status lines or progress on stderr");
}

} // namespace zuta::cli
