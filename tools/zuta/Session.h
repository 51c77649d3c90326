#pragma once

#include "engine/MemoryStatsTable.h"
#include "engine/PerformanceData.h"
#include "host/MessageBox.h"
#include "host/NotificationSink.h"
#include "host/OutputWindow.h"
#include "host/SettingsStore.h"
#include "settings/PerformanceSettings.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace zuta::cli {

// Records every notification posted to the (absent) view window.
class RecordingNotifications : public host::INotificationSink {
public:
    void PostNotification(std::uint32_t command, std::uint32_t code) override;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> Take() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> posted_;
};

// Output window of the command line: status lines to stderr (unless quiet), all raw text kept.
class ConsoleOutput : public host::IOutputWindow {
public:
    explicit ConsoleOutput(bool echoStatus) : echoStatus_(echoStatus) {}
    void WriteStatusLine(std::string_view text) override;
    void WriteRawText(std::string_view text) override;
    std::string rawText() const;

private:
    bool echoStatus_;
    mutable std::mutex mutex_;
    std::string raw_;
};

// Message boxes of the command line: the text goes to stderr as one line.
class ConsoleMessageBox : public host::IMessageBox {
public:
    host::MessageResult Show(std::string_view text, std::string_view caption,
                             host::MessageIcon icon, host::MessageButtons buttons) override;
};

// Options shared by the commands that build a store from a file.
struct StoreOptions {
    std::string settingsPath; // INI settings store; empty: the default location
    std::string mode;         // full | simple | ext; empty: from the settings
    double clockMhz = -1.0;   // < 0: from the settings
    std::string idleTask;     // empty: from the settings
    bool quiet = false;
};

// What a view owns, set up as the view's initial update does: settings store, settings record,
// memory statistics table and data store.
class Session {
public:
    explicit Session(const StoreOptions& options);
    ~Session();

    // Loads a capture (.zcap), session file (.zuta) or raw log (.log) into the store; false with
    // `error` set when that failed.
    bool LoadInput(const std::string& path, std::string& error);
    // Replays a capture as the live links deliver it and finishes the collection.
    bool ReplayCapture(const std::string& path, std::string& error);
    // Copies the sampling flags of the settings into the store (after a session file changed them).
    void ApplySamplingFlags();

    host::ISettingsStore& store() { return *store_; }
    PerformanceSettings& settings() { return settings_; }
    MemoryStatsTable& memoryStats() { return memoryStats_; }
    CPerformanceData& data() { return *data_; }
    RecordingNotifications& notifications() { return notifications_; }
    ConsoleOutput& output() { return output_; }
    const StoreOptions& options() const { return options_; }

    // The settings file used when --settings is not given: $XDG_CONFIG_HOME/zuta/settings.ini.
    static std::string DefaultSettingsPath();

private:
    StoreOptions options_;
    std::unique_ptr<host::ISettingsStore> store_;
    PerformanceSettings settings_;
    MemoryStatsTable memoryStats_;
    RecordingNotifications notifications_;
    ConsoleOutput output_;
    ConsoleMessageBox messageBox_;
    std::unique_ptr<CPerformanceData> data_;
};

// Adds the options of StoreOptions to a subcommand.
void AddStoreOptions(CLI::App& command, StoreOptions& options);

} // namespace zuta::cli
