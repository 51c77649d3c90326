#include "collection/StagedOpen.h"

#include "collection/CollectionSession.h"
#include "files/RawLogImport.h"
#include "files/TextScanner.h"

namespace zuta {

namespace {

// A file read slice by slice, which tells how far it got and ends early when asked to.
class StoppableFileSource final : public ByteSource {
public:
    StoppableFileSource(std::stop_token stop, const LoadProgress& progress)
        : stop_(std::move(stop)), progress_(progress) {}

    bool Open(const std::string& path, std::string& error) { return file_.Open(path, error); }
    std::size_t Read(char* to, std::size_t size) override {
        if (stop_.stop_requested()) {
            stopped_ = true;
            return 0;
        }
        const std::size_t got = file_.Read(to, size);
        done_ += got;
        if (progress_ && got > 0)
            progress_(done_, file_.size());
        return got;
    }
    std::uint64_t size() const override { return file_.size(); }
    std::string failure() const override { return stopped_ ? "cancelled" : file_.failure(); }
    bool stopped() const { return stopped_; }

private:
    FileSource file_;
    std::stop_token stop_;
    const LoadProgress& progress_;
    std::uint64_t done_ = 0;
    bool stopped_ = false;
};

} // namespace

host::MessageResult StagedOpen::HeldBack::Show(std::string_view text, std::string_view caption,
                                               host::MessageIcon icon,
                                               host::MessageButtons buttons) {
    std::lock_guard lock(mutex_);
    boxes_.push_back({std::string(text), std::string(caption), icon, buttons});
    return host::MessageResult::Ok;
}

void StagedOpen::HeldBack::PostNotification(std::uint32_t command, std::uint32_t code) {
    std::lock_guard lock(mutex_);
    notifications_.emplace_back(command, code);
}

std::vector<StagedOpen::HeldBack::Box> StagedOpen::HeldBack::TakeBoxes() {
    std::lock_guard lock(mutex_);
    return std::exchange(boxes_, {});
}

std::vector<std::pair<std::uint32_t, std::uint32_t>> StagedOpen::HeldBack::TakeNotifications() {
    std::lock_guard lock(mutex_);
    return std::exchange(notifications_, {});
}

StagedOpen::StagedOpen(CollectionSession& session, std::string path, bool rawLog)
    : session_(session), path_(std::move(path)), rawLog_(rawLog), settings_(session.settings()) {
    // No settings store: the function names a file teaches are learned here and saved to the
    // store only when the session adopts the file.
    CPerformanceData::Services services;
    services.settings = &settings_;
    services.memoryStats = &memoryStats_;
    services.notify = &heldBack_;
    services.messageBox = &heldBack_;
    store_.Initialise(services);
    const CPerformanceData& live = session.data();
    store_.SetSimpleMode(live.simpleMode());
    store_.SetExternalTsMode(live.externalTsMode());
    store_.SetCpuType(live.Read([](const StoreState& s) { return s.cpuType; }));
    store_.SetIdleTaskName(live.Read([](const StoreState& s) { return s.idleTaskName; }));
}

bool StagedOpen::Read(std::stop_token stop, const LoadProgress& progress) {
    error_.clear();
    warnings_.clear();
    StoppableFileSource source(std::move(stop), progress);
    std::string error;
    std::vector<std::string> warnings;
    bool read = source.Open(path_, error);
    if (read) {
        read = rawLog_ ? ImportRawLogSource(store_, source, error, &warnings)
                       : LoadSessionSource(store_, source, error, {}, &warnings);
    }
    if (source.stopped()) {
        read = false;
        error = "cancelled";
    }
    for (const std::string& warning : warnings)
        warnings_.push_back("'" + path_ + "': " + warning);
    if (!read)
        error_ = "'" + path_ + "': " + error;
    return read;
}

void StagedOpen::Adopt() {
    // The collection shown before stays in the staging store, to be freed with it.
    CPerformanceData& data = session_.data();
    data.SwapContent(store_);

    PerformanceSettings& settings = session_.settings();
    settings.simpleMode = settings_.simpleMode;
    settings.externalTsMode = settings_.externalTsMode;
    settings.armClockMhz = settings_.armClockMhz;
    session_.ApplySamplingFlags();

    MemoryStatsTable& memoryStats = session_.memoryStats();
    for (const auto& [id, entry] : memoryStats_.Entries())
        memoryStats.AddEntry(id, entry.name, entry.words);

    // A name the map already holds stays, as when the file is read into the session's own store.
    FunctionNameMap& names = data.functionNames();
    bool taught = false;
    for (const auto& [number, name] : store_.functionNames().entries()) {
        std::string known;
        if (!names.Lookup(number, known)) {
            names.SetName(number, name);
            taught = true;
        }
    }
    if (taught)
        data.SaveFunctionNames();

    ShowMessages();
    if (ICollectionView* view = session_.services().view)
        for (const auto& [command, code] : heldBack_.TakeNotifications())
            view->PostNotification(command, code);
}

void StagedOpen::ShowMessages() {
    host::IMessageBox* box = session_.services().messageBox;
    for (const HeldBack::Box& shown : heldBack_.TakeBoxes())
        if (box != nullptr)
            box->Show(shown.text, shown.caption, shown.icon, shown.buttons);
}

} // namespace zuta
