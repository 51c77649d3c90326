#pragma once

#include <QTableView>
#include <cstdint>
#include <memory>
#include <string>

namespace zuta {
class CPerformanceData;
class TaskTable;
} // namespace zuta

namespace zuta::performance {

class TaskTableModel;

// The live task table as a list: shows a zuta::TaskTable (columns, widths, cell texts, row
// colours) and nothing else. The table stays the one source of the figures; this widget only
// mirrors it. All calls are made on the window thread.
class CTaskTableWidget final : public QTableView {
    Q_OBJECT
public:
    // The smallest size of the list; the view scrolls when it is smaller.
    static constexpr int kMinimumWidth = 570;
    static constexpr int kMinimumHeight = 350;

    explicit CTaskTableWidget(QWidget* parent = nullptr);
    ~CTaskTableWidget() override;

    // The table to show (not owned; null shows an empty list). Follow with RebuildFromModel.
    void SetTable(zuta::TaskTable* table);
    zuta::TaskTable* table() const;

    // Where row text colours come from: the store gives the task types, the idle task gets red
    // text. Read by RebuildFromModel only (a task's type and name do not change during a run).
    // Without a store only the idle task is coloured.
    void SetColourSource(const zuta::CPerformanceData* store, std::string idleTaskName);

    // After BuildColumns or RebuildRows: columns, widths, rows, texts and colours anew.
    void RebuildFromModel();
    // After RefreshStatistics: re-reads the cell texts and signals only the cells that changed,
    // keeping selection and scroll position. Rebuilds instead when the table's rows or columns
    // are no longer those shown.
    void RefreshFromModel();

    // A header click sorts the rows (through the table's own order) only while enabled; the view
    // enables it when no collection runs.
    void SetSortingEnabled(bool enabled);
    bool sortingEnabled() const { return sortingEnabled_; }

signals:
    // A row was clicked: the store identifier of its task.
    void rowClicked(std::uint32_t taskId);
    // A cell was double-clicked: the store identifier of its row's task and the cell's column (in
    // the table's own numbering, wherever the column was dragged to).
    void rowDoubleClicked(std::uint32_t taskId, int column);
    // The rows were reordered by a header click on `column`.
    void sorted(int column);

private:
    void OnHeaderClicked(int section);
    void ApplyColumnWidths();

    std::unique_ptr<TaskTableModel> model_;
    bool sortingEnabled_ = false;
};

} // namespace zuta::performance
