// The view's settings: the settings dialog and what the view takes over when it closes.

#include "Performance/PerformanceControlBar.h"
#include "Performance/PerformanceView.h"
#include "Performance/SettingsDlg.h"
#include "Performance/TaskTableWidget.h"
#include "Performance/ViewCommands.h"
#include "collection/CollectionSession.h"
#include "collection/ViewText.h"

namespace zuta::performance {

CSettingsDlg* CPerformanceView::OpenSettingsDialog(bool modal) {
    if (session_ == nullptr)
        return nullptr;
    if (auto* open = findChild<CSettingsDlg*>(QString(), Qt::FindDirectChildrenOnly)) {
        open->raise();
        open->activateWindow();
        return open;
    }
    auto* dialog = new CSettingsDlg(*this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    const bool externalTsBefore = settings()->externalTsMode;
    const bool simpleModeBefore = settings()->simpleMode;
    connect(
        dialog, &QDialog::finished, this, [this, externalTsBefore, simpleModeBefore](int result) {
            AfterSettingsDialog(result == QDialog::Accepted, externalTsBefore, simpleModeBefore);
        });
    if (modal)
        dialog->open();
    else
        dialog->show();
    return dialog;
}

void CPerformanceView::AfterSettingsDialog(bool accepted, bool externalTsBefore,
                                           bool simpleModeBefore) {
    if (session_ == nullptr)
        return;
    const PerformanceSettings& now = *settings();
    const bool modesChanged =
        now.externalTsMode != externalTsBefore || now.simpleMode != simpleModeBefore;
    if (modesChanged)
        ApplySamplingFlags();
    if (accepted) {
        // The idle task name, its task and the link ports; the idle row's colour follows.
        session_->ApplySettings();
        taskList_->SetColourSource(data(), now.idleTaskName);
    }
    if (modesChanged || accepted) {
        BuildColumns();
        RebuildRows();
    }
    if (now.percentView != percentView_) {
        percentView_ = now.percentView;
        RefreshStatistics();
    }
    // The clock may have changed.
    SetBarText(
        &CPerformanceControlBar::samplingDurationEdit,
        LoadedDurationText(data()->Read([](const StoreState& s) { return s.sumTicks; }), now));
}

void RunSettings(CPerformanceView& view, const ViewCommand&) {
    view.OpenSettingsDialog(true);
}

} // namespace zuta::performance
