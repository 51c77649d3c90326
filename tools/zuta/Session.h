#pragma once

#include "collection/CollectionSession.h"
#include "host/MessageBox.h"
#include "host/NotificationSink.h"
#include "host/OutputWindow.h"
#include "host/SettingsStore.h"
#include "settings/PerformanceSettings.h"

#include <CLI/CLI.hpp>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace zuta::cli {

// The view of the command line: link threads and the store only queue their notifications; the
// command's own loop takes them.
class RecordingNotifications : public ICollectionView {
public:
    void PostNotification(std::uint32_t command, std::uint32_t code) override;
    void RefreshTableNow() override {}
    void RunNewTaskData() override {}
    void ArmTableRefresh() override {}
    // Everything posted since the last call.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> Take();

private:
    std::mutex mutex_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> posted_;
};

// Output window of the command line: status lines to stderr (unless quiet), all raw text kept.
class ConsoleOutput : public host::IOutputWindow {
public:
    explicit ConsoleOutput(bool echoStatus) : echoStatus_(echoStatus) {}
    // Status lines are echoed only while a collection runs; every other command speaks for
    // itself.
    void SetEcho(bool echo) { echoStatus_ = echo; }
    void WriteStatusLine(std::string_view text) override;
    void WriteRawText(std::string_view text) override;
    std::string rawText() const;

private:
    std::atomic<bool> echoStatus_;
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

// A collection session with the services of the command line: the INI settings store, status
// lines on stderr, message boxes as lines, and the options of the command applied to the settings.
class Session {
public:
    explicit Session(const StoreOptions& options);
    ~Session();

    // Opens a capture (.zcap), session file (.zuta) or raw log (.log), with progress on a
    // terminal; false with `error` set when that failed.
    bool LoadInput(const std::string& path, std::string& error);

    CollectionSession& collection() { return *collection_; }
    host::ISettingsStore& store() { return *store_; }
    PerformanceSettings& settings() { return collection_->settings(); }
    CPerformanceData& data() { return collection_->data(); }
    RecordingNotifications& notifications() { return notifications_; }
    ConsoleOutput& output() { return output_; }
    const StoreOptions& options() const { return options_; }

    // The settings file used when --settings is not given: $XDG_CONFIG_HOME/zuta/settings.ini.
    static std::string DefaultSettingsPath();

private:
    StoreOptions options_;
    std::unique_ptr<host::ISettingsStore> store_;
    RecordingNotifications notifications_;
    ConsoleOutput output_;
    ConsoleMessageBox messageBox_;
    std::unique_ptr<CollectionSession> collection_;
};

// Progress on stderr while a large file loads, when stderr is a terminal and not quiet.
LoadProgress ConsoleProgress(const std::string& verb, const std::string& path, bool quiet);

// Adds the options of StoreOptions to a subcommand.
void AddStoreOptions(CLI::App& command, StoreOptions& options);

} // namespace zuta::cli
