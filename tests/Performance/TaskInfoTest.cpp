// The task control block viewer: its rows and looks, its picture, and the way from a click on a
// task during a collection to the viewer with the simulated target's block.
#include "Performance/TaskInfoDlg.h"
#include "Performance/TaskTableWidget.h"
#include "Performance/ViewWindows.h"
#include "ViewHost.h"
#include "engine/PerformanceData.h"

#include <QPointer>
#include <QTableWidget>
#include <charconv>
#include <gtest/gtest.h>
#include <string>

namespace zuta::performance {
namespace {

using test::PumpUntil;

std::string Cell(const CTaskInfoDlg& dialog, int row, int column) {
    return dialog.list()->item(row, column)->text().toStdString();
}

std::string Value(const CTaskInfoDlg& dialog, std::string_view field) {
    for (int r = 0; r < dialog.list()->rowCount(); ++r)
        if (Cell(dialog, r, 0) == field)
            return Cell(dialog, r, 1);
    return "(no row)";
}

std::uint32_t HexValue(const CTaskInfoDlg& dialog, std::string_view field) {
    const std::string text = Value(dialog, field);
    std::uint32_t value = 0;
    if (text.rfind("0x", 0) == 0)
        std::from_chars(text.data() + 2, text.data() + text.size(), value, 16);
    return value;
}

TEST(TaskInfoDlgTest, PicturedWithASampleBlockWithoutWaiting) {
    test::ViewInHost rig;
    const ViewWindow* window = FindViewWindow("task-info");
    ASSERT_NE(window, nullptr);
    QPointer<QWidget> shown = window->open(*rig.view);
    auto* dialog = qobject_cast<CTaskInfoDlg*>(shown.data());
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isModal());
    EXPECT_NEAR(dialog->windowOpacity(), 230.0 / 255.0, 0.005);
    const QTableWidget& list = *dialog->list();
    ASSERT_EQ(list.rowCount(), 36);
    EXPECT_EQ(Cell(*dialog, 3, 0), "tc_status");
    EXPECT_EQ(Cell(*dialog, 3, 1), "SEMAPHORE_SUSPEND");
    // Even rows are shaded, odd ones keep the list's background.
    EXPECT_EQ(list.item(0, 1)->background().color(), QColor(220, 220, 254));
    EXPECT_EQ(list.item(1, 0)->background().style(), Qt::NoBrush);
    dialog->close();
    test::RunPostedEvents();
    EXPECT_TRUE(shown.isNull());
}

TEST(TaskInfoDlgTest, AClickedTaskShowsTheTargetsControlBlock) {
    test::ViewInHost rig(test::Target());
    ASSERT_NE(rig.link, nullptr);
    CPerformanceView& view = *rig.view;
    rig.CollectAll();
    // Rows come with the target's task list; their run counts with the next refresh.
    const TaskRow* task = nullptr;
    ASSERT_TRUE(PumpUntil([&] {
        for (std::size_t r = 0; r < view.taskTable().rowCount(); ++r) {
            const TaskRow& row = view.taskTable().row(r);
            if (view.data()->GetTaskType(row.id) == kTypeTask && row.runs > 0) {
                task = &row;
                return true;
            }
        }
        return false;
    }));
    const std::string name = task->name;

    emit view.taskList()->rowClicked(task->id);
    CTaskInfoDlg* dialog = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (dialog = view.findChild<CTaskInfoDlg*>()) != nullptr; }));
    EXPECT_TRUE(dialog->isModal());
    EXPECT_EQ(Value(*dialog, "tc_name"), name.substr(0, 8));
    EXPECT_EQ(Value(*dialog, "tc_status").rfind("UNKNOWN", 0), std::string::npos);
    EXPECT_NE(Value(*dialog, "tc_scheduled"), "0");
    // The stack lies in the target's RAM and the pointer inside it.
    const std::uint32_t start = HexValue(*dialog, "tc_stack_start");
    const std::uint32_t end = HexValue(*dialog, "tc_stack_end");
    const std::uint32_t pointer = HexValue(*dialog, "tc_stack_pointer");
    EXPECT_EQ(start & 0xF0000000u, 0x80000000u);
    EXPECT_LT(start, pointer);
    EXPECT_LT(pointer, end);
    EXPECT_EQ(Value(*dialog, "tc_stack_size"), std::to_string(end - start + 1));
    dialog->close();
    view.OnStop();
    rig.FinishStop();
}

} // namespace
} // namespace zuta::performance
