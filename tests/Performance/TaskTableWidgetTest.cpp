#include "Performance/TaskTableWidget.h"

#include "QtTestApp.h"
#include "collection/TaskTable.h"
#include "engine/PerformanceData.h"

#include <QBrush>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace zuta::performance {
namespace {

class TaskTableWidgetTest : public ::testing::Test {
protected:
    TaskTableWidgetTest() {
        data.Write([](StoreState& s) {
            s.switchCount = 10;
            s.sumTicks = 20000;
            s.sumValue0 = 800;
            s.sumValue1 = 70;
            s.sumValue2 = 30;
            Set(s.AddOrUpdateTask("beta", 1002, 0), 3, 5000, 40);
            Set(s.AddOrUpdateTask("Alpha", 1001, 0), 1, 0, 0);
            Set(s.AddOrUpdateTask("Timer_HISR", 1003, 1), 6, 9000, 500);
            Set(s.AddOrUpdateTask("IRQ7", 7, 2), 2, 1000, 10);
            Set(s.AddOrUpdateTask("CommPM_L", 1004, 0), 9, 4000, 0);
            s.AddOrUpdateTask("Fn1", 5001, 3);
        });
        table.BuildColumns(1, false);
        table.RebuildRows(data);
        widget.SetTable(&table);
        widget.SetColourSource(&data, "CommPM_L");
        widget.RebuildFromModel();
        widget.resize(800, 400);
        widget.show();
    }

    static void Set(TaskRecord& t, std::uint32_t runs, std::uint64_t ticks, std::uint64_t s0) {
        t.runs = runs;
        t.ticks = ticks;
        t.sumValue0 = s0;
    }

    QAbstractItemModel& model() const { return *widget.model(); }
    QString Text(int row, int column) const {
        return model().index(row, column).data(Qt::DisplayRole).toString();
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (int r = 0; r < model().rowCount(); ++r)
            names.push_back(Text(r, 0).toStdString());
        return names;
    }
    QColor TextColour(int row) const {
        return model().index(row, 0).data(Qt::ForegroundRole).value<QBrush>().color();
    }
    bool HasTextColour(int row) const {
        return model().index(row, 0).data(Qt::ForegroundRole).isValid();
    }
    // A real mouse click on the header of a column.
    void ClickHeader(int column) {
        QHeaderView* header = widget.horizontalHeader();
        const QPoint centre(header->sectionViewportPosition(column) +
                                header->sectionSize(column) / 2,
                            header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centre);
    }
    void Refresh() {
        table.RefreshStatistics(data, options);
        widget.RefreshFromModel();
    }

    // First, so the application exists before the widget.
    QApplication& application = test::TestApplication();
    CPerformanceData data;
    TaskTable table;
    StatisticsOptions options{false, false, 208.0f};
    CTaskTableWidget widget;
};

TEST_F(TaskTableWidgetTest, ShowsTheColumnsRowsAndCellsOfTheTable) {
    ASSERT_EQ(model().columnCount(), static_cast<int>(table.columns().size()));
    QHeaderView* header = widget.horizontalHeader();
    for (int c = 0; c < model().columnCount(); ++c) {
        const TaskTableColumn& column = table.columns()[static_cast<std::size_t>(c)];
        EXPECT_EQ(model().headerData(c, Qt::Horizontal).toString().toStdString(), column.title);
        // At least the table's width, and never narrower than the title.
        EXPECT_GE(header->sectionSize(c), column.width) << column.title;
        EXPECT_GE(header->sectionSize(c), header->sectionSizeHint(c)) << column.title;
    }
    ASSERT_EQ(model().rowCount(), 5);
    EXPECT_EQ(Text(0, 1), "0x7");
    EXPECT_EQ(Text(4, 0), "CommPM_L");
    // Odd rows are shaded; rows in store order: IRQ7, Alpha, beta, Timer_HISR, CommPM_L.
    EXPECT_FALSE(model().index(0, 3).data(Qt::BackgroundRole).isValid());
    EXPECT_EQ(model().index(1, 3).data(Qt::BackgroundRole).value<QBrush>().color(),
              QColor(220, 220, 254));
    EXPECT_FALSE(HasTextColour(1));
    EXPECT_EQ(TextColour(3), QColor(0x00, 0x5A, 0xB4));
}

TEST_F(TaskTableWidgetTest, RefreshSignalsOnlyTheChangedCellsAndShowsNewRows) {
    QSignalSpy resets(&model(), &QAbstractItemModel::modelReset);
    QSignalSpy changes(&model(), &QAbstractItemModel::dataChanged);
    Refresh();
    ASSERT_GT(changes.count(), 0);
    // Nothing changed: nothing is signalled.
    changes.clear();
    Refresh();
    EXPECT_EQ(changes.count(), 0);

    // One task ran again: only its row is signalled.
    data.Write([](StoreState& s) { s.tasks.at(1002).runs = 4; });
    Refresh();
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes[0][0].value<QModelIndex>().row(), 2);
    EXPECT_EQ(changes[0][1].value<QModelIndex>().row(), 2);
    EXPECT_EQ(Text(2, 2), "4");
    EXPECT_EQ(resets.count(), 0);

    data.Write([](StoreState& s) { s.AddOrUpdateTask("IRQ9", 9, 2); });
    table.RebuildRows(data);
    Refresh();
    EXPECT_EQ(model().rowCount(), 6);
    EXPECT_EQ(Text(1, 0), "IRQ9");
}

TEST_F(TaskTableWidgetTest, RefreshAfterTheTableWasReorderedMovesIdsAndColours) {
    table.Sort(0); // reordered behind the list's back: same rows, other places
    Refresh();
    EXPECT_EQ(Names(),
              (std::vector<std::string>{"Alpha", "beta", "CommPM_L", "IRQ7", "Timer_HISR"}));
    EXPECT_EQ(TextColour(2), QColor(0xFF, 0x00, 0x00));
    // Clicks give the task at the row's new place; below the last row nothing is clicked.
    QSignalSpy clicked(&widget, &CTaskTableWidget::rowClicked);
    QSignalSpy doubleClicked(&widget, &CTaskTableWidget::rowDoubleClicked);
    const QPoint cell = widget.visualRect(model().index(3, 1)).center();
    QTest::mouseClick(widget.viewport(), Qt::LeftButton, {},
                      QPoint(cell.x(), widget.viewport()->height() - 2));
    QTest::mouseClick(widget.viewport(), Qt::LeftButton, {}, cell);
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked[0][0].value<std::uint32_t>(), 7u);
    QTest::mouseDClick(widget.viewport(), Qt::LeftButton, {}, cell);
    ASSERT_EQ(doubleClicked.count(), 1);
    EXPECT_EQ(doubleClicked[0][0].value<std::uint32_t>(), 7u);
}

TEST_F(TaskTableWidgetTest, HeaderClickSortsOnlyWhenEnabled) {
    Refresh();
    QSignalSpy sorted(&widget, &CTaskTableWidget::sorted);
    ClickHeader(2);
    EXPECT_EQ(Names().front(), "IRQ7");
    EXPECT_EQ(sorted.count(), 0);

    widget.SetSortingEnabled(true);
    ClickHeader(2); // "Scheduled": highest run count first
    EXPECT_EQ(Names().front(), "CommPM_L");
    ASSERT_EQ(sorted.count(), 1);
    EXPECT_EQ(sorted[0][0].toInt(), 2);
    // Colours go with the rows' new places.
    EXPECT_EQ(TextColour(0), QColor(0xFF, 0x00, 0x00));
}

} // namespace
} // namespace zuta::performance
