#include "collection/CollectionSession.h"

#include "collection/CollectionReplay.h"
#include "engine/Capture.h"
#include "files/RawLogImport.h"
#include "files/TextExport.h"
#include "host/CommandLink.h"
#include "host/DataLink.h"
#include "host/SettingsStore.h"

#include <chrono>
#include <utility>

namespace zuta {

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size())
        return false;
    text.remove_prefix(text.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i])
            return false;
    }
    return true;
}

} // namespace

DataFileKind DataFileKindOf(std::string_view path) {
    if (EndsWithNoCase(path, ".zuta"))
        return DataFileKind::SessionFile;
    if (EndsWithNoCase(path, ".log"))
        return DataFileKind::RawLog;
    // A capture still named as it was while written: what a killed collection left behind.
    if (EndsWithNoCase(path, ".zcap") || EndsWithNoCase(path, ".zcap.part"))
        return DataFileKind::Capture;
    return DataFileKind::Unknown;
}

DataFileKind ReopenedFileKindOf(std::string_view path) {
    return path.find(".log") != std::string_view::npos ? DataFileKind::RawLog
                                                       : DataFileKind::SessionFile;
}

// The links of a session without a target: nothing opens, so Start reports that the target is
// not connected and nothing is ever delivered.
class CollectionSession::OfflineLink final : public host::ICommandLink, public host::IDataLink {
public:
    bool Open(std::stop_token) override { return false; }
    bool IsOpen() const override { return false; }
    bool SendCommand(std::string_view, std::string_view, std::string_view, const std::uint8_t*,
                     std::size_t, std::uint32_t) override {
        return false;
    }
    bool SendRaw(std::uint32_t, const std::uint8_t*, std::size_t) override { return false; }
    void Attach(host::CommandLinkEndpoint*) override {}
    void Detach(host::CommandLinkEndpoint*) override {}
    void AddObserver(host::ILinkObserver*) override {}
    void RemoveObserver(host::ILinkObserver*) override {}
    bool RegisterReceiver(host::DataLinkReceiveFn, host::DataLinkNotifyFn, std::uint32_t,
                          void*) override {
        return false;
    }
    void UnregisterReceiver(void*) override {}
};

CollectionSession::CollectionSession(const SessionServices& services) : services_(services) {
    if (services_.view == nullptr)
        services_.view = &quietView_;
    settings_.load(*services_.settingsStore);

    data_ = std::make_unique<CPerformanceData>();
    CPerformanceData::Services store;
    store.settings = &settings_;
    store.memoryStats = &memoryStats_;
    store.notify = services_.view;
    store.output = services_.output;
    store.settingsStore = services_.settingsStore;
    store.messageBox = services_.messageBox;
    data_->Initialise(store);
    // The session file header records the counter scheme the view had before it read the
    // settings, which is always the APDC scheme.
    data_->SetCpuType(1);

    MakeController();
    ApplySettings();
}

void CollectionSession::MakeController() {
    CollectionServices links;
    links.data = data_.get();
    links.settings = &settings_;
    links.output = services_.output;
    links.commandLink = services_.commandLink;
    links.dataLink = services_.dataLink;
    links.resolver = services_.resolver;
    links.view = services_.view;
    if (links.commandLink == nullptr || links.dataLink == nullptr) {
        if (offlineLink_ == nullptr)
            offlineLink_ = std::make_unique<OfflineLink>();
        links.commandLink = offlineLink_.get();
        links.dataLink = offlineLink_.get();
    }
    controller_ = std::make_unique<CollectionController>(links);
}

CollectionController& CollectionSession::ConnectLinks(host::ICommandLink* commandLink,
                                                      host::IDataLink* dataLink,
                                                      host::ISenderNameResolver* resolver) {
    controller_.reset();
    services_.commandLink = commandLink;
    services_.dataLink = dataLink;
    services_.resolver = resolver;
    MakeController();
    controller_->ApplySettings();
    return *controller_;
}

CollectionSession::~CollectionSession() {
    // The links go quiet before the store they deliver into is deleted.
    controller_.reset();
}

void CollectionSession::ApplySettings() {
    ApplySamplingFlags();
    data_->SetIdleTaskName(settings_.idleTaskName);
    controller_->ApplySettings();
}

void CollectionSession::ApplySamplingFlags() {
    data_->SetSimpleMode(settings_.simpleMode);
    data_->SetExternalTsMode(settings_.externalTsMode);
}

bool CollectionSession::Open(const std::string& path, std::string& error,
                             const LoadProgress& progress) {
    switch (DataFileKindOf(path)) {
    case DataFileKind::SessionFile:
        return LoadSession(path, error, progress);
    case DataFileKind::RawLog:
        return ImportLog(path, error);
    case DataFileKind::Capture:
        return ReplayCapture(path, error, progress);
    case DataFileKind::Unknown:
        break;
    }
    error = "'" + path + "': not a session file (.zuta), raw log (.log) or capture (.zcap)";
    return false;
}

bool CollectionSession::LoadSession(const std::string& path, std::string& error,
                                    const LoadProgress& progress) {
    warnings_.clear();
    std::vector<std::string> warnings;
    const bool loaded = LoadSessionFile(*data_, path, error, progress, &warnings);
    AddWarnings(path, warnings);
    if (!loaded) {
        error = "'" + path + "': " + error;
        return false;
    }
    // A version 3 file has set the sampling flags of the settings; the store follows them.
    ApplySamplingFlags();
    return true;
}

bool CollectionSession::ImportLog(const std::string& path, std::string& error) {
    warnings_.clear();
    std::vector<std::string> warnings;
    const bool imported = ImportRawLog(*data_, path, error, &warnings);
    AddWarnings(path, warnings);
    if (!imported) {
        error = "'" + path + "': " + error;
        return false;
    }
    return true;
}

bool CollectionSession::ReplayCapture(const std::string& path, std::string& error,
                                      const LoadProgress& progress) {
    warnings_.clear();
    CaptureReader reader;
    if (!reader.Open(path, error)) {
        error = "'" + path + "': " + error;
        return false;
    }
    // The collection's clock is the capture's own, so durations replay exactly.
    const SystemClock::time_point base = SystemClock::time_point{} + std::chrono::hours(24 * 365);
    std::uint64_t micros = 0;
    data_->SetClock([&] { return base + std::chrono::microseconds(micros); });
    const auto finishDelay = data_->finishDelay();
    data_->SetFinishDelay(std::chrono::milliseconds(0));
    data_->StartCollection();

    // The capture goes through the collector endpoint as the live links would deliver it, so
    // the agent's identity is checked and data before its first answer is dropped.
    CaptureReplayer replayer(*data_, settings_.diagPort, settings_.tlnPort, services_.view);
    if (!replayPortsFromSettings_)
        replayer.TakePortsFromCapture();
    CaptureRecord record;
    while (reader.Next(record, error)) {
        micros = record.micros;
        replayer.Feed(record);
        if (progress)
            progress(reader.bytesRead(), reader.fileSize());
    }
    data_->FinishCollection();
    data_->SetClock(nullptr);
    data_->SetFinishDelay(finishDelay);
    AddWarnings(path, reader.warnings());
    if (!error.empty()) {
        error = "'" + path + "': " + error;
        return false;
    }
    return true;
}

void CollectionSession::AddWarnings(const std::string& path,
                                    const std::vector<std::string>& warnings) {
    for (const std::string& warning : warnings)
        warnings_.push_back("'" + path + "': " + warning);
}

bool CollectionSession::Save(const std::string& path, std::string& error,
                             const LoadProgress& progress, std::stop_token stop) {
    return SaveSessionFile(*data_, path, error, progress, std::move(stop));
}

bool CollectionSession::ExportText(std::span<const std::string> rowIdTexts, const std::string& path,
                                   std::string& error) {
    return WriteTextExport(*data_, settings_, rowIdTexts, path, error);
}

bool CollectionSession::SaveSettings() {
    return settings_.save(*services_.settingsStore);
}

} // namespace zuta
