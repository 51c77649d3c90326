#include "Performance/CpuUsageGraphDlg.h"
#include "Performance/PieChartDlg.h"
#include "Performance/TimeSequenceDlg.h"

#include <QPushButton>

namespace zuta::performance {

void CCpuUsageGraphDlg::StartPie() {
    if (pie_ != nullptr || selectedSession_ >= set_.sessions.size())
        return;
    const graphs::CpuSession& session = set_.sessions[selectedSession_];
    // Built at once from the dialog's own copy: the pie window reads nothing of the dialog's.
    const std::vector<graphs::SessionShare> shares =
        graphs::SessionShares(data_, samples_, session, divisor_, idleId_, foundTask_, colours_);
    auto* pie = new CPieChartDlg(nullptr);
    pie->setAttribute(Qt::WA_DeleteOnClose);
    for (const graphs::SessionShare& share : shares)
        pie->AddSlice(share.colour, share.textColour, share.percent, share.label);
    pie->SetTitle(graphs::SessionPieTitle(selectedSession_, session.cpuPercent));
    if (pieGeometry_)
        pie->setGeometry(*pieGeometry_);
    connect(pie, &QDialog::finished, this, [this, pie] {
        if (pie_ == pie)
            pie_ = nullptr;
        update();
    });
    pie_ = pie;
    pie->Open(false);
}

void CCpuUsageGraphDlg::RelaunchPie() {
    if (pie_ == nullptr)
        return;
    pieGeometry_ = pie_->geometry();
    ClosePie();
    StartPie();
}

void CCpuUsageGraphDlg::ClosePie() {
    CPieChartDlg* pie = pie_;
    pie_ = nullptr;
    if (pie != nullptr) {
        pie->disconnect(this);
        pie->close();
    }
}

CPieChartDlg* CCpuUsageGraphDlg::pie() const {
    return pie_;
}

void CCpuUsageGraphDlg::OnSessionPie() {
    StartPie();
}

void CCpuUsageGraphDlg::OnTimeSequence() {
    timeSequenceButton_->setEnabled(false);
    timeSequence_ = new CTimeSequenceDlg(this);
    timeSequence_->setAttribute(Qt::WA_DeleteOnClose);
    for (const graphs::TimeSequenceEntry& entry : set_.timeSequence)
        timeSequence_->Append(entry.session, entry.microseconds);
    connect(timeSequence_, &QDialog::finished, this, [this] {
        timeSequence_ = nullptr;
        timeSequenceButton_->setEnabled(true);
    });
    timeSequence_->open();
}

} // namespace zuta::performance
