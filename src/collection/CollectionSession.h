#pragma once

#include "collection/CollectionController.h"
#include "collection/CollectionView.h"
#include "engine/MemoryStatsTable.h"
#include "engine/PerformanceData.h"
#include "files/SessionFile.h"
#include "settings/PerformanceSettings.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace zuta {

namespace host {
class ICommandLink;
class IDataLink;
class IMessageBox;
class IOutputWindow;
class ISenderNameResolver;
class ISettingsStore;
} // namespace host

// The kinds of file a collection can be opened from, told apart by their extension in any case.
enum class DataFileKind { Unknown, SessionFile, RawLog, Capture };

// ".zuta", ".log" or ".zcap", case-insensitive; anything else is Unknown.
DataFileKind DataFileKindOf(std::string_view path);
// The start-up reopening's own rule: a path that names ".log" anywhere was an import, every other
// path a session file.
DataFileKind ReopenedFileKindOf(std::string_view path);

// What the host lends a collection session. Only the settings store is required.
struct SessionServices {
    host::ISettingsStore* settingsStore = nullptr;
    host::IOutputWindow* output = nullptr;   // status lines and raw text
    host::IMessageBox* messageBox = nullptr; // errors of the file readers
    ICollectionView* view = nullptr;         // notifications and table hooks; may be null
    // The links to the target. Without them the session still opens and saves files, and Start
    // reports that the target is not connected.
    host::ICommandLink* commandLink = nullptr;
    host::IDataLink* dataLink = nullptr;
    host::ISenderNameResolver* resolver = nullptr;
};

// Everything one collection needs, wired once: the settings record (loaded from the store), the
// memory statistics table, the data store configured from the settings and the collection
// controller with its endpoint. The window's view, the command line, the tests, benchmarks and
// fuzz targets all build their collection through it.
class CollectionSession {
public:
    explicit CollectionSession(const SessionServices& services);
    ~CollectionSession();
    CollectionSession(const CollectionSession&) = delete;
    CollectionSession& operator=(const CollectionSession&) = delete;

    PerformanceSettings& settings() { return settings_; }
    const PerformanceSettings& settings() const { return settings_; }
    MemoryStatsTable& memoryStats() { return memoryStats_; }
    CPerformanceData& data() { return *data_; }
    const CPerformanceData& data() const { return *data_; }
    CollectionController& controller() { return *controller_; }
    const SessionServices& services() const { return services_; }

    // Puts the collection on other links (null: none), with a fresh controller; the old
    // controller shuts down first. For a command line that opens its link after the session.
    CollectionController& ConnectLinks(host::ICommandLink* commandLink, host::IDataLink* dataLink,
                                       host::ISenderNameResolver* resolver);

    // Copies the configuration of the settings into the store and the endpoint: sampling flags,
    // idle task name, link ports. Run after the settings changed (a dialog, a loaded file, options
    // of the command line).
    void ApplySettings();
    // Copies only the sampling flags (a session file switched them).
    void ApplySamplingFlags();

    // Opens a collection from a file of any kind (by extension): a session file is loaded, a raw
    // log imported, a capture replayed through the collector endpoint. The store is reset first;
    // false with `error` set ("'<path>': <reason>") when the file gave nothing.
    bool Open(const std::string& path, std::string& error, const LoadProgress& progress = {});
    bool LoadSession(const std::string& path, std::string& error,
                     const LoadProgress& progress = {});
    bool ImportLog(const std::string& path, std::string& error);
    bool ReplayCapture(const std::string& path, std::string& error,
                       const LoadProgress& progress = {});
    // Whether a replay takes the link ports from the capture (the default) or from the settings.
    void SetReplayPortsFromSettings(bool fromSettings) { replayPortsFromSettings_ = fromSettings; }

    // What the last open, import or replay found wrong without failing (a capture cut short, lines
    // cut, counts that the file did not hold), one text each.
    const std::vector<std::string>& warnings() const { return warnings_; }

    // Writes the collection as a session file, or the rows of the task table (named by their
    // "Task ID" texts) as a text export. The old file stays whole when writing fails. Save may
    // run on another thread while the session's thread leaves the collection alone; it reports
    // its progress and gives up on a stop request as SaveSessionFile does.
    bool Save(const std::string& path, std::string& error, const LoadProgress& progress = {},
              std::stop_token stop = {});
    bool ExportText(std::span<const std::string> rowIdTexts, const std::string& path,
                    std::string& error);

    // Writes the settings record to the settings store and commits it; false when that failed.
    bool SaveSettings();

private:
    void MakeController();
    // Keeps what a reader warned of, each naming the file.
    void AddWarnings(const std::string& path, const std::vector<std::string>& warnings);

    // Table hooks that do nothing, for a session without a view.
    class QuietView final : public ICollectionView {
    public:
        void PostNotification(std::uint32_t, std::uint32_t) override {}
        void RefreshTableNow() override {}
        void RunNewTaskData() override {}
        void ArmTableRefresh() override {}
    };
    class OfflineLink;

    SessionServices services_;
    QuietView quietView_;
    PerformanceSettings settings_;
    MemoryStatsTable memoryStats_;
    std::unique_ptr<CPerformanceData> data_;
    std::unique_ptr<OfflineLink> offlineLink_;
    std::unique_ptr<CollectionController> controller_;
    bool replayPortsFromSettings_ = false;
    std::vector<std::string> warnings_;
};

} // namespace zuta
