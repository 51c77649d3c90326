#include "Performance/TaskInfoDlg.h"

#include "Performance/DetailList.h"
#include "Performance/PerformanceView.h"
#include "Performance/ViewWindows.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace zuta::performance {

namespace {

constexpr int kValueWidth = 124;

} // namespace

CTaskInfoDlg::CTaskInfoDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Task Info"));
    setWindowOpacity(kOpacity);

    list_ = new QTableWidget(0, 2, this);
    list_->setHorizontalHeaderLabels({QStringLiteral("TCB"), QStringLiteral("TCB Value")});
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list_->setColumnWidth(0, 200);
    list_->setColumnWidth(1, kValueWidth);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 4);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
}

void CTaskInfoDlg::SetBlock(const TaskControlBlock& block) {
    const std::vector<TaskInfoRow> rows = TaskInfoRows(block);
    list_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < list_->rowCount(); ++r) {
        const TaskInfoRow& row = rows[static_cast<std::size_t>(r)];
        // The name is the target's bytes, one character each.
        auto* field = new QTableWidgetItem(
            QString::fromLatin1(row.field.data(), static_cast<qsizetype>(row.field.size())));
        auto* value = new QTableWidgetItem(
            QString::fromLatin1(row.value.data(), static_cast<qsizetype>(row.value.size())));
        if (r % 2 == 0) {
            field->setBackground(ShadedRowColour());
            value->setBackground(ShadedRowColour());
        }
        list_->setItem(r, 0, field);
        list_->setItem(r, 1, value);
    }
    // The values keep their width unless one would be cut ("SEMAPHORE_SUSPEND" in a large font),
    // and the window shows every row.
    list_->resizeColumnToContents(1);
    list_->setColumnWidth(1, std::max(list_->columnWidth(1), kValueWidth));
    const QMargins margins = layout()->contentsMargins();
    const int frame = 2 * list_->frameWidth();
    resize(list_->horizontalHeader()->length() + frame + margins.left() + margins.right(),
           list_->horizontalHeader()->height() + list_->verticalHeader()->length() + frame +
               margins.top() + margins.bottom());
}

CTaskInfoDlg* OpenTaskInfoDlg(CPerformanceView& view, const TaskControlBlock& block, bool modal) {
    auto* dialog = new CTaskInfoDlg(&view);
    dialog->SetBlock(block);
    return ShowViewWindow(dialog, modal);
}

TaskControlBlock SampleTaskControlBlock() {
    TaskControlBlock block{};
    block[0] = 1;            // created
    block[3] = 0x5441534Bu;  // the kernel's mark of a task
    block[4] = 0x545F314Cu;  // "L1_T"
    block[5] = 0x006B7361u;  // "ask"
    block[6] = 0x01D70006u;  // semaphore wait, priority 215, preemptive
    block[7] = 810;          // scheduled
    block[9] = 0x80104000u;  // stack start
    block[10] = 0x80104FFFu; // stack end
    block[11] = 0x80104E58u; // stack pointer
    block[12] = 4096;        // stack size
    block[13] = 1149;        // stack minimum
    block[15] = 0x80104E58u; // saved stack pointer
    block[16] = 20;          // time slice
    block[17] = 0x80200150u; // ready list: previous
    block[18] = 0x802000A8u; // ready list: next
    block[19] = 64;          // priority group
    block[22] = 0x00000017u; // sub-priority 23
    block[23] = 0x00A04100u; // entry
    block[30] = 1;           // timer control
    block[36] = 0xFFFFu;     // enabled signals
    return block;
}

} // namespace zuta::performance
