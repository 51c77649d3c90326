// The view's files: Save, Load, Import and the text export with their dialogs, the start-up
// reopening, opening a dropped session file or raw log, titles.

#include "Performance/PerformanceControlBar.h"
#include "Performance/PerformanceDoc.h"
#include "Performance/PerformanceFrame.h"
#include "Performance/PerformanceView.h"
#include "Performance/ViewCommands.h"
#include "collection/CollectionSession.h"
#include "collection/StagedOpen.h"
#include "collection/ViewText.h"
#include "engine/PerformanceData.h"
#include "host/FileDialog.h"
#include "host/HostWindow.h"
#include "host/MessageBox.h"
#include "host/TextNumbers.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QMimeData>
#include <QProgressDialog>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <memory>
#include <stop_token>
#include <thread>

namespace zuta::performance {

namespace {

const host::FileDialogRequest kSaveSessionDialog{"ZUT RAW data files (*.zuta) | *.zuta", "zuta",
                                                 true, false};
const host::FileDialogRequest kLoadSessionDialog{"ZUT RAW data files (*.zuta) | *.zuta", "zuta",
                                                 false, true};
const host::FileDialogRequest kImportLogDialog{"ZUT RAW data files (*.log) | *.log", "log", false,
                                               true};
const host::FileDialogRequest kExportTextDialog{"ZUTA txt data files (*.txt) | *.txt", "txt", true,
                                                false};

constexpr int kProgressSteps = 1000;
// A file read or written faster than this shows no progress dialog.
constexpr int kProgressDelayMs = 400;
// How often the window looks at the working thread while it waits.
constexpr int kProgressPollMs = 15;

// The local files of a drag that the view can open.
std::string DroppedDataFile(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls())
        return {};
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile())
            continue;
        const std::string path = url.toLocalFile().toStdString();
        const DataFileKind kind = DataFileKindOf(path);
        if (kind == DataFileKind::SessionFile || kind == DataFileKind::RawLog)
            return path;
    }
    return {};
}

} // namespace

// A file being read or written on a thread of its own while the window waits in an event loop of
// its own.
struct CPerformanceView::FileJob {
    std::atomic<std::uint64_t> done{0};
    std::atomic<std::uint64_t> total{0};
    std::atomic<bool> finished{false};
    bool succeeded = false;  // the work's result, once finished
    bool cancelled = false;  // the user pressed Cancel
    bool viewClosed = false; // the view went while it waited
    bool stopOnClose = true; // false: closing the view waits for the work to end
    std::stop_source stop;
    QEventLoop loop;
    // Last: stopped and joined before the rest goes.
    std::jthread worker;
};

void CPerformanceView::StopFileJob() {
    if (disposer_.joinable())
        disposer_.join();
    if (fileJob_ == nullptr)
        return;
    fileJob_->viewClosed = true;
    if (fileJob_->stopOnClose)
        fileJob_->stop.request_stop();
    if (fileJob_->worker.joinable())
        fileJob_->worker.join();
    fileJob_->loop.quit();
    fileJob_.reset();
}

CPerformanceView::FileOutcome CPerformanceView::RunFileWork(const std::string& label,
                                                            const char* title, FileWork work,
                                                            bool stopOnClose) {
    const auto job = std::make_shared<FileJob>();
    job->stopOnClose = stopOnClose;
    fileJob_ = job;
    auto* progress = new QProgressDialog(QString::fromStdString(label), QStringLiteral("Cancel"), 0,
                                         kProgressSteps, this);
    progress->setWindowTitle(QString::fromUtf8(title));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(kProgressDelayMs);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setValue(0);
    connect(progress, &QProgressDialog::canceled, this, [r = job.get()] {
        r->cancelled = true;
        r->stop.request_stop();
    });
    emit fileJobStarted(progress);
    if (job->viewClosed)
        return FileOutcome::Closed;

    job->worker = std::jthread([r = job.get(), work = std::move(work)] {
        r->succeeded = work(r->stop.get_token(), [r](std::uint64_t done, std::uint64_t total) {
            r->done.store(done);
            r->total.store(total);
        });
        r->finished.store(true);
        QMetaObject::invokeMethod(&r->loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // The poll also ends the wait when the quit above was taken by an event loop that ran before
    // this one started.
    QTimer poll;
    poll.setInterval(kProgressPollMs);
    connect(&poll, &QTimer::timeout, this, [r = job.get(), progress] {
        if (r->finished.load()) {
            r->loop.quit();
            return;
        }
        const std::uint64_t total = r->total.load();
        if (total > 0 && !r->cancelled)
            progress->setValue(static_cast<int>(r->done.load() * kProgressSteps / total));
    });
    poll.start();
    if (!job->finished.load())
        job->loop.exec();
    if (job->viewClosed)
        return FileOutcome::Closed; // the view and its dialog are gone
    poll.stop();
    job->worker.join();
    fileJob_.reset();
    delete progress;
    // Work that was done before a late Cancel reached it counts as done: a save has replaced the
    // file by then.
    if (job->succeeded)
        return FileOutcome::Done;
    return job->cancelled ? FileOutcome::Cancelled : FileOutcome::Failed;
}

CPerformanceView::FileOutcome CPerformanceView::OpenFile(const std::string& path, bool rawLog,
                                                         bool reopening) {
    ShowWaitCursor(true);
    auto staged = std::make_unique<StagedOpen>(*session_, path, rawLog);
    StagedOpen& open = *staged;
    const FileOutcome outcome = RunFileWork(
        (rawLog ? "Importing " : "Loading ") + path, rawLog ? "Import RAW" : "Load Data",
        [&open](std::stop_token stop, const LoadProgress& progress) {
            return open.Read(std::move(stop), progress);
        });
    if (outcome == FileOutcome::Closed)
        return outcome;
    LogWarnings(open.warnings());
    if (outcome == FileOutcome::Done) {
        open.Adopt();
        ShowOpenedData(rawLog);
        // The reopening shows a raw log as any session.
        const bool asImport = rawLog && !reopening;
        SetBarText(&CPerformanceControlBar::samplingDurationEdit,
                   asImport ? "NA"
                            : LoadedDurationText(
                                  data()->Read([](const StoreState& s) { return s.sumTicks; }),
                                  *settings()));
        // The settings already name a reopened file.
        if (!reopening) {
            settings()->lastOpenFile = path;
            session_->SaveSettings();
        }
        SetDocumentTitle(asImport ? "Exported Session: " : "ZUTA Session: ", path);
    } else {
        ShowWaitCursor(false);
        if (outcome == FileOutcome::Failed)
            open.ShowMessages();
        LogStatus((rawLog ? "Cannot import " : "Cannot load ") + open.error());
    }
    // What the staging store holds now, the collection shown before or what a failed read left,
    // may be millions of samples: freed off the window thread.
    disposer_ = std::jthread([old = std::move(staged)] {});
    ShowWaitCursor(false);
    return outcome;
}

bool CPerformanceView::ReopenLastFile() {
    const std::string path = settings()->lastOpenFile;
    if (path.empty())
        return true;
    const bool rawLog = ReopenedFileKindOf(path) == DataFileKind::RawLog;
    return OpenFile(path, rawLog, true) != FileOutcome::Closed;
}

void CPerformanceView::ShowOpenedData(bool fromRawLog) {
    state_.DataOpened(fromRawLog);
    RebuildRows();
    UpdateControls();
    SetBarText(&CPerformanceControlBar::userEventsEdit,
               text::FormatUnsigned(fromRawLog ? 0 : data()->GetUserEventCount()));
}

bool CPerformanceView::OpenDataFile(const std::string& path) {
    if (session_ == nullptr || fileJob_ != nullptr || !state_.IsEnabled(EnableRule::CanLoad))
        return false;
    const DataFileKind kind = DataFileKindOf(path);
    if (kind != DataFileKind::SessionFile && kind != DataFileKind::RawLog) {
        LogStatus("Cannot open " + path + ": neither a session file (.zuta) nor a raw log (.log)");
        return false;
    }
    return OpenFile(path, kind == DataFileKind::RawLog, false) == FileOutcome::Done;
}

std::optional<std::string> CPerformanceView::AskForFile(const host::FileDialogRequest& request,
                                                        bool save) {
    host::IFileDialog* dialog = host_ != nullptr ? host_->FileDialog() : nullptr;
    if (dialog == nullptr) {
        LogStatus("The host offers no file dialog");
        return std::nullopt;
    }
    return save ? dialog->SaveFile(request) : dialog->OpenFile(request);
}

void CPerformanceView::OnSaveData() {
    const std::optional<std::string> path = AskForFile(kSaveSessionDialog, true);
    if (!path || session_ == nullptr)
        return;
    ShowWaitCursor(true);
    std::string error;
    // Closing the view during a save lets the save finish: what was collected reaches the file.
    const FileOutcome outcome = RunFileWork(
        "Saving " + *path, "Save Data",
        [this, &path, &error](std::stop_token stop, const LoadProgress& progress) {
            return session_->Save(*path, error, progress, std::move(stop));
        },
        false);
    if (outcome == FileOutcome::Closed)
        return;
    if (outcome != FileOutcome::Done) {
        // The file as it was and the collection both stay; the title and the last file too.
        ShowWaitCursor(false);
        if (outcome == FileOutcome::Cancelled)
            LogStatus("Save cancelled: " + *path + " is as it was");
        else
            host_->MessageBox().Show("The session was not saved: " + error, "Error",
                                     host::MessageIcon::Error);
        return;
    }
    settings()->lastOpenFile = *path;
    session_->SaveSettings();
    SetDocumentTitle("ZUTA Session: ", *path);
    UpdateControls();
    ShowWaitCursor(false);
}

void CPerformanceView::OnLoadData() {
    if (const std::optional<std::string> path = AskForFile(kLoadSessionDialog, false))
        OpenFile(*path, false, false);
}

void CPerformanceView::OnImportRaw() {
    if (const std::optional<std::string> path = AskForFile(kImportLogDialog, false))
        OpenFile(*path, true, false);
}

void CPerformanceView::OnExportText() {
    const std::optional<std::string> path = AskForFile(kExportTextDialog, true);
    if (!path || session_ == nullptr)
        return;
    ShowWaitCursor(true);
    std::string error;
    // The rows in the order they are shown; the figures come from the store, not the cells.
    const bool written = session_->ExportText(table_.IdTexts(), *path, error);
    ShowWaitCursor(false);
    if (!written) {
        LogStatus("Cannot export: " + error);
        host_->MessageBox().Show("Error opening file", *path, host::MessageIcon::Error);
    }
}

void CPerformanceView::LogWarnings(const std::vector<std::string>& warnings) {
    for (const std::string& warning : warnings)
        LogStatus("Warning: " + warning);
}

void CPerformanceView::SetDocumentTitle(const std::string& prefix, std::string_view path) {
    if (frame_ == nullptr || frame_->document() == nullptr)
        return;
    frame_->document()->SetTitle(QString::fromStdString(prefix + SessionNameFromPath(path)));
}

void CPerformanceView::dragEnterEvent(QDragEnterEvent* event) {
    if (session_ != nullptr && fileJob_ == nullptr && state_.IsEnabled(EnableRule::CanLoad) &&
        !DroppedDataFile(event->mimeData()).empty()) {
        event->acceptProposedAction();
        return;
    }
    event->ignore();
}

void CPerformanceView::dropEvent(QDropEvent* event) {
    const std::string path = DroppedDataFile(event->mimeData());
    if (path.empty() || session_ == nullptr || fileJob_ != nullptr ||
        !state_.IsEnabled(EnableRule::CanLoad)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    OpenDataFile(path);
}

void RunSaveData(CPerformanceView& view, const ViewCommand&) {
    view.OnSaveData();
}

void RunLoadData(CPerformanceView& view, const ViewCommand&) {
    view.OnLoadData();
}

void RunImportRawLog(CPerformanceView& view, const ViewCommand&) {
    view.OnImportRaw();
}

void RunExportToText(CPerformanceView& view, const ViewCommand&) {
    view.OnExportText();
}

} // namespace zuta::performance
