// The view's collection: Start and Stop, the timers, the notifications of the link threads.

#include "Performance/PerformanceControlBar.h"
#include "Performance/PerformanceView.h"
#include "Performance/PieChartDlg.h"
#include "Performance/TaskInfoDlg.h"
#include "Performance/ViewCommands.h"
#include "collection/CollectionController.h"
#include "collection/CollectionSession.h"
#include "collection/ViewText.h"
#include "engine/PerformanceData.h"
#include "host/CommandLink.h"
#include "host/HostWindow.h"
#include "host/MessageBox.h"
#include "host/NotificationSink.h"
#include "host/TextNumbers.h"

namespace zuta::performance {

void CPerformanceView::OnStart() {
    if (session_ == nullptr)
        return;
    // A Start during the grace period of a Stop closes that collection first.
    if (stopPending())
        FinishStop();
    if (!state_.IsEnabled(EnableRule::CanStart))
        return;
    // When the target cannot be reached, or its link serves another collection, the controller
    // says so and the view stays as it was.
    switch (controller()->BeginStart()) {
    case StartOutcome::Started:
        EnterCollecting();
        break;
    case StartOutcome::Connecting:
        state_.BeginConnecting();
        UpdateControls();
        break;
    default:
        break;
    }
}

void CPerformanceView::ContinueStart(bool connected) {
    // A Stop during the attempt abandoned it; its late outcome changes nothing.
    if (state_.phase() != ViewPhase::Connecting)
        return;
    switch (controller()->ContinueStart(connected)) {
    case StartOutcome::Started:
        EnterCollecting();
        return;
    case StartOutcome::Connecting:
        // The outcome of an abandoned attempt while a newer one runs: wait for that one.
        return;
    default:
        state_.ConnectFailed();
        UpdateControls();
        return;
    }
}

void CPerformanceView::EnterCollecting() {
    state_.Started();
    UpdateControls();
    ClearRows();
    SetBarText(&CPerformanceControlBar::samplingDurationEdit, "na");
    SetBarText(&CPerformanceControlBar::userEventsEdit, "0");
    SetBarText(&CPerformanceControlBar::cpuLoadEdit, "0");
    cpuLoadTimer_.start(1);
}

void CPerformanceView::OnStop() {
    if (session_ == nullptr)
        return;
    if (state_.phase() == ViewPhase::Connecting) {
        controller()->CancelStart();
        state_.ConnectFailed();
        UpdateControls();
        return;
    }
    if (!state_.flags().collecting)
        return;
    cpuLoadTimer_.stop();
    StopRefreshTimer();
    state_.StopRequested();
    UpdateControls();
    // The agent is told now and the receiver leaves the link; what the agent still sends on the
    // command link is taken in until the grace period ends.
    controller()->RequestStop();
    stopGraceTimer_.start();
}

void CPerformanceView::FinishStop() {
    stopGraceTimer_.stop();
    state_.Stopped();
    UpdateControls();
    // The store closes the collection without a wait of its own: the grace period was that wait.
    controller()->FinishStop();
    SetBarText(&CPerformanceControlBar::samplingDurationEdit,
               FormatSamplingDuration(data()->GetSamplingDuration()));
    SetBarText(&CPerformanceControlBar::userEventsEdit,
               text::FormatUnsigned(data()->GetUserEventCount()));
    // The load timer stopped with Stop; the closed collection's load includes the last batches.
    SetBarText(&CPerformanceControlBar::cpuLoadEdit,
               text::FormatUnsigned(data()->GetCpuLoad()) + " %");
    RefreshStatistics();
    const auto [skipped, unknown] = data()->Read(
        [](const StoreState& s) { return std::pair(s.skippedBytes, s.unknownRecords); });
    if (skipped != 0 || unknown != 0)
        LogStatus("Stream damaged: " + text::FormatUnsigned(skipped) +
                  " bytes skipped while resynchronising, " + text::FormatUnsigned(unknown) +
                  " unknown record headers; the figures are unreliable");
}

void CPerformanceView::OnCpuLoadTimer() {
    if (session_ == nullptr)
        return;
    SetBarText(&CPerformanceControlBar::cpuLoadEdit,
               text::FormatUnsigned(data()->GetCpuLoad()) + " %");
    SetBarText(&CPerformanceControlBar::userEventsEdit,
               text::FormatUnsigned(data()->GetUserEventCount()));
    cpuLoadTimer_.setInterval(kCpuLoadPeriodMs);
}

// Link threads hand their notifications over through the view's own queue and wake the window
// thread with a call by name: the hand-over is then guarded by a lock of this code, which the
// thread sanitizer sees, rather than by the event queue inside Qt, which it cannot.
void CPerformanceView::PostNotification(std::uint32_t command, std::uint32_t code) {
    {
        std::lock_guard lock(postedMutex_);
        posted_.emplace_back(command, code);
    }
    if (!drainQueued_.exchange(true))
        QMetaObject::invokeMethod(this, "DrainNotifications", Qt::QueuedConnection);
}

void CPerformanceView::DrainNotifications() {
    drainQueued_.store(false);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> posted;
    {
        std::lock_guard lock(postedMutex_);
        posted.swap(posted_);
    }
    for (const auto& [command, code] : posted)
        OnNotification(command, code);
}

void CPerformanceView::RefreshTableNow() {
    rebuildStopsRefresh_.store(true);
    if (!rebuildQueued_.exchange(true))
        QMetaObject::invokeMethod(this, "RebuildQueuedRows", Qt::QueuedConnection);
}

void CPerformanceView::RunNewTaskData() {
    if (!rebuildQueued_.exchange(true))
        QMetaObject::invokeMethod(this, "RebuildQueuedRows", Qt::QueuedConnection);
}

void CPerformanceView::RebuildQueuedRows() {
    rebuildQueued_.store(false);
    if (rebuildStopsRefresh_.exchange(false))
        StopRefreshTimer();
    RebuildRows();
}

void CPerformanceView::ArmTableRefresh() {
    // One request in flight at a time: a burst of batches costs one queued call.
    if (!refreshArmed_.exchange(true))
        QMetaObject::invokeMethod(this, "StartRefreshTimer", Qt::QueuedConnection);
}

void CPerformanceView::StartRefreshTimer() {
    if (!state_.flags().collecting) {
        refreshArmed_.store(false);
        return;
    }
    if (!refreshTimer_.isActive())
        refreshTimer_.start();
}

void CPerformanceView::OnNotification(std::uint32_t command, std::uint32_t code) {
    if (command == host::kNotifyShowTcb) {
        if (session_ != nullptr) {
            TaskControlBlock block{};
            data()->GetTcbBlock(block);
            OpenTaskInfoDlg(*this, block, true);
        }
        return;
    }
    if (command != host::kNotifyStatus || session_ == nullptr)
        return;
    switch (code) {
    case host::kCodeVtuneFileCreated:
        ShowWaitCursor(false);
        if (!quietVtuneNotice_) {
            LogStatus("VTune data file created");
            host_->MessageBox().Show("VTune data file created", "ZUTA",
                                     host::MessageIcon::Information);
        }
        state_.VtuneFileCreated();
        UpdateControls();
        return;
    case host::kCodeNewTaskData:
        RebuildRows();
        return;
    case host::kCodeSamplingFlagsChanged:
        ApplySamplingFlags();
        BuildColumns();
        RebuildRows();
        return;
    case host::kCodeTargetConnected:
    case host::kCodeTargetNotConnected:
        ContinueStart(code == host::kCodeTargetConnected);
        return;
    default:
        // Corrupted data and a lost link end the collection with the window's own Stop.
        controller()->HandleStatusNotification(code, [this] { OnStop(); });
        return;
    }
}

void CPerformanceView::OnRowClicked(std::uint32_t taskId) {
    if (state_.flags().collecting && session_ != nullptr)
        controller()->SendTaskInfoRequest(taskId);
}

// The distribution of the clicked column's statistic, from the figures of a finished collection.
void CPerformanceView::OnRowDoubleClicked(std::uint32_t, int column) {
    if (state_.flags().collecting)
        return;
    if (const auto statistic = graphs::StatisticOfColumn(column))
        OpenDistributionChart(*this, *statistic, true);
}

} // namespace zuta::performance
