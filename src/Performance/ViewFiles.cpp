// The view's files: the start-up reopening, opening a dropped session file or raw log, titles.

#include "Performance/PerformanceControlBar.h"
#include "Performance/PerformanceDoc.h"
#include "Performance/PerformanceFrame.h"
#include "Performance/PerformanceView.h"
#include "collection/CollectionSession.h"
#include "collection/ViewText.h"
#include "engine/PerformanceData.h"
#include "host/TextNumbers.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace zuta::performance {

namespace {

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

void CPerformanceView::ReopenLastFile() {
    const std::string path = settings()->lastOpenFile;
    if (path.empty())
        return;
    // The settings already name the file, so they are not saved again; whatever kind it was, the
    // reopened file is the session of this window.
    const bool rawLog = ReopenedFileKindOf(path) == DataFileKind::RawLog;
    std::string error;
    const bool opened =
        rawLog ? session_->ImportLog(path, error) : session_->LoadSession(path, error);
    LogWarnings();
    if (!opened) {
        LogStatus((rawLog ? "Cannot import " : "Cannot load ") + error);
        return;
    }
    ShowOpenedData(rawLog);
    SetBarText(&CPerformanceControlBar::samplingDurationEdit,
               LoadedDurationText(data()->Read([](const StoreState& s) { return s.sumTicks; }),
                                  *settings()));
    SetDocumentTitle("ZUTA Session: ", path);
}

void CPerformanceView::ShowOpenedData(bool fromRawLog) {
    state_.DataOpened(fromRawLog);
    RebuildRows();
    UpdateControls();
    SetBarText(&CPerformanceControlBar::userEventsEdit,
               text::FormatUnsigned(fromRawLog ? 0 : data()->GetUserEventCount()));
}

bool CPerformanceView::OpenDataFile(const std::string& path) {
    if (session_ == nullptr || !state_.IsEnabled(EnableRule::CanLoad))
        return false;
    const DataFileKind kind = DataFileKindOf(path);
    if (kind != DataFileKind::SessionFile && kind != DataFileKind::RawLog) {
        LogStatus("Cannot open " + path + ": neither a session file (.zuta) nor a raw log (.log)");
        return false;
    }
    const bool rawLog = kind == DataFileKind::RawLog;
    ShowWaitCursor(true);
    std::string error;
    const bool opened =
        rawLog ? session_->ImportLog(path, error) : session_->LoadSession(path, error);
    LogWarnings();
    if (opened) {
        ShowOpenedData(rawLog);
        SetBarText(&CPerformanceControlBar::samplingDurationEdit,
                   rawLog ? "NA"
                          : LoadedDurationText(
                                data()->Read([](const StoreState& s) { return s.sumTicks; }),
                                *settings()));
        settings()->lastOpenFile = path;
        session_->SaveSettings();
        SetDocumentTitle(rawLog ? "Exported Session: " : "ZUTA Session: ", path);
    } else {
        LogStatus((rawLog ? "Cannot import " : "Cannot load ") + error);
    }
    ShowWaitCursor(false);
    return opened;
}

void CPerformanceView::LogWarnings() {
    for (const std::string& warning : session_->warnings())
        LogStatus("Warning: " + warning);
}

void CPerformanceView::SetDocumentTitle(const std::string& prefix, std::string_view path) {
    if (frame_ == nullptr || frame_->document() == nullptr)
        return;
    frame_->document()->SetTitle(QString::fromStdString(prefix + SessionNameFromPath(path)));
}

void CPerformanceView::dragEnterEvent(QDragEnterEvent* event) {
    if (session_ != nullptr && state_.IsEnabled(EnableRule::CanLoad) &&
        !DroppedDataFile(event->mimeData()).empty()) {
        event->acceptProposedAction();
        return;
    }
    event->ignore();
}

void CPerformanceView::dropEvent(QDropEvent* event) {
    const std::string path = DroppedDataFile(event->mimeData());
    if (path.empty() || session_ == nullptr || !state_.IsEnabled(EnableRule::CanLoad)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    OpenDataFile(path);
}

} // namespace zuta::performance
