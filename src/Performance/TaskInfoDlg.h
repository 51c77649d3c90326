#pragma once

#include "collection/TaskInfoRows.h"

#include <QDialog>

class QTableWidget;

namespace zuta::performance {

// "Task Info": the fields of one task control block as the target's kernel holds it, one row
// each, slightly see-through over the task table.
class CTaskInfoDlg final : public QDialog {
    Q_OBJECT
public:
    static constexpr double kOpacity = 230.0 / 255.0;

    explicit CTaskInfoDlg(QWidget* parent = nullptr);

    // Shows the rows of `block` in place of any shown before.
    void SetBlock(const TaskControlBlock& block);

    QTableWidget* list() const { return list_; }

private:
    QTableWidget* list_;
};

class CPerformanceView;

// Shows the viewer of `block` on the view without waiting for it, modal on the view's window or
// not; it deletes itself when closed.
CTaskInfoDlg* OpenTaskInfoDlg(CPerformanceView& view, const TaskControlBlock& block, bool modal);

// The block of a task waiting on a semaphore, as the target reports one: what the viewer shows
// when it is pictured outside a collection.
TaskControlBlock SampleTaskControlBlock();

} // namespace zuta::performance
