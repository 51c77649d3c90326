#include "Performance/TaskTableWidget.h"

#include "collection/TaskTable.h"

#include <QAbstractTableModel>
#include <QBrush>
#include <QColor>
#include <QHeaderView>
#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace zuta::performance {

namespace {

QColor ToQColor(const RgbColour& colour) {
    return QColor(colour.red, colour.green, colour.blue);
}

// Counts and figures read best right-aligned; name and identifier stay left.
constexpr int kFirstFigureColumn = 2;

} // namespace

// Mirrors the cells of a TaskTable as the list shows them. It keeps its own copy of the texts so
// that a refresh can tell which cells changed and the list never reads the table mid-update.
class TaskTableModel final : public QAbstractTableModel {
public:
    struct Row {
        std::uint32_t id = 0;
        std::vector<std::string> texts; // as the table gave them, to compare on refresh
        std::vector<QString> cells;
        std::optional<QColor> textColour;
    };

    zuta::TaskTable* table = nullptr;
    const zuta::CPerformanceData* colourData = nullptr;
    std::string idleTaskName;

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(titles_.size());
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
            return {};
        const Row& row = rows_[static_cast<std::size_t>(index.row())];
        switch (role) {
        case Qt::DisplayRole:
            return row.cells[static_cast<std::size_t>(index.column())];
        case Qt::ForegroundRole:
            if (row.textColour)
                return QBrush(*row.textColour);
            return {};
        case Qt::BackgroundRole:
            if (const auto shade =
                    zuta::TaskTable::BackgroundColour(static_cast<std::size_t>(index.row())))
                return QBrush(ToQColor(*shade));
            return {};
        case Qt::TextAlignmentRole:
            return index.column() >= kFirstFigureColumn
                       ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                       : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
            return {};
        if (role == Qt::DisplayRole)
            return titles_[static_cast<std::size_t>(section)];
        if (role == Qt::TextAlignmentRole)
            return section >= kFirstFigureColumn ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                 : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        return {};
    }

    void Rebuild() {
        beginResetModel();
        titles_.clear();
        widths_.clear();
        rows_.clear();
        if (table != nullptr) {
            for (const TaskTableColumn& column : table->columns()) {
                titles_.push_back(QString::fromStdString(column.title));
                widths_.push_back(column.width);
            }
            rows_.reserve(table->rowCount());
            for (std::size_t r = 0; r < table->rowCount(); ++r) {
                Row row;
                row.id = table->row(r).id;
                row.texts.reserve(titles_.size());
                row.cells.reserve(titles_.size());
                for (std::size_t c = 0; c < titles_.size(); ++c) {
                    row.texts.push_back(table->Cell(r, c));
                    row.cells.push_back(QString::fromStdString(row.texts.back()));
                }
                row.textColour = TextColour(r);
                rows_.push_back(std::move(row));
            }
        }
        endResetModel();
    }

    // False when the table's rows or columns are no longer those shown: the caller rebuilds.
    bool Refresh() {
        if (table == nullptr || table->rowCount() != rows_.size() ||
            table->columns().size() != titles_.size())
            return false;
        for (std::size_t r = 0; r < rows_.size(); ++r)
            if (table->row(r).id != rows_[r].id)
                return false;
        const int lastColumn = columnCount() - 1;
        int bandFirst = -1; // first row of a run of rows with changed cells
        int bandLeft = lastColumn;
        int bandRight = 0;
        const auto flush = [&](int endRow) {
            if (bandFirst >= 0)
                emit dataChanged(index(bandFirst, bandLeft), index(endRow - 1, bandRight),
                                 {Qt::DisplayRole});
            bandFirst = -1;
            bandLeft = lastColumn;
            bandRight = 0;
        };
        for (std::size_t r = 0; r < rows_.size(); ++r) {
            Row& row = rows_[r];
            bool changed = false;
            for (std::size_t c = 0; c < row.texts.size(); ++c) {
                const std::string& text = table->Cell(r, c);
                if (text == row.texts[c])
                    continue;
                row.texts[c] = text;
                row.cells[c] = QString::fromStdString(text);
                changed = true;
                bandLeft = std::min(bandLeft, static_cast<int>(c));
                bandRight = std::max(bandRight, static_cast<int>(c));
            }
            if (changed && bandFirst < 0)
                bandFirst = static_cast<int>(r);
            if (!changed)
                flush(static_cast<int>(r));
        }
        flush(static_cast<int>(rows_.size()));
        return true;
    }

    std::optional<std::uint32_t> IdOfRow(int row) const {
        if (row < 0 || row >= rowCount())
            return std::nullopt;
        return rows_[static_cast<std::size_t>(row)].id;
    }
    const std::vector<int>& widths() const { return widths_; }
    const std::vector<QString>& titles() const { return titles_; }

private:
    std::optional<QColor> TextColour(std::size_t row) const {
        if (colourData != nullptr) {
            if (const auto colour = table->TextColour(row, *colourData, idleTaskName))
                return ToQColor(*colour);
            return std::nullopt;
        }
        // Without a store only the name is known, which is enough for the idle task.
        const std::string& name = table->row(row).name;
        if (name == "idleTask_THREAD" || (!idleTaskName.empty() && name == idleTaskName))
            return ToQColor(kIdleTextColour);
        return std::nullopt;
    }

    std::vector<QString> titles_;
    std::vector<int> widths_;
    std::vector<Row> rows_;
};

CTaskTableWidget::CTaskTableWidget(QWidget* parent)
    : QTableView(parent), model_(std::make_unique<TaskTableModel>()) {
    setModel(model_.get());
    setObjectName(QStringLiteral("taskList"));
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    // The shading of odd rows comes from the table's colours, not from the style.
    setAlternatingRowColors(false);

    // Fixed row heights and interactive column widths: the list never measures its contents,
    // which keeps a refresh of many rows cheap.
    QHeaderView* rowsHeader = verticalHeader();
    rowsHeader->setVisible(false);
    rowsHeader->setSectionResizeMode(QHeaderView::Fixed);
    rowsHeader->setDefaultSectionSize(fontMetrics().height() + 6);

    QHeaderView* header = horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionsMovable(true);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    connect(header, &QHeaderView::sectionClicked, this, &CTaskTableWidget::OnHeaderClicked);

    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (const auto id = model_->IdOfRow(index.row()))
            emit rowClicked(*id);
    });
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (const auto id = model_->IdOfRow(index.row()))
            emit rowDoubleClicked(*id, index.column());
    });
}

CTaskTableWidget::~CTaskTableWidget() {
    // The view must let go of the model before the model goes.
    setModel(nullptr);
}

void CTaskTableWidget::SetTable(zuta::TaskTable* table) {
    model_->table = table;
}

zuta::TaskTable* CTaskTableWidget::table() const {
    return model_->table;
}

void CTaskTableWidget::SetColourSource(const zuta::CPerformanceData* store,
                                       std::string idleTaskName) {
    model_->colourData = store;
    model_->idleTaskName = std::move(idleTaskName);
}

void CTaskTableWidget::RebuildFromModel() {
    const std::vector<QString> before = model_->titles();
    model_->Rebuild();
    // Rows come and go during a run and with every load; the widths the user dragged stay until
    // the columns themselves change.
    if (model_->titles() != before)
        ApplyColumnWidths();
}

void CTaskTableWidget::RefreshFromModel() {
    if (!model_->Refresh())
        RebuildFromModel();
}

void CTaskTableWidget::SetSortingEnabled(bool enabled) {
    sortingEnabled_ = enabled;
}

void CTaskTableWidget::OnHeaderClicked(int section) {
    if (!sortingEnabled_ || model_->table == nullptr || section < 0)
        return;
    model_->table->Sort(static_cast<std::size_t>(section));
    // Sorting happens only while no collection runs, so a full rebuild costs nothing that matters;
    // it also moves the text colours with their rows.
    model_->Rebuild();
    emit sorted(section);
}

void CTaskTableWidget::ApplyColumnWidths() {
    // The table's widths are pixels of a small dialog font. A larger font widens them in
    // proportion, and no column is narrower than its title, so no header is cut.
    constexpr double kDesignCharWidth = 6.0;
    const double scale =
        std::max(1.0, static_cast<double>(fontMetrics().averageCharWidth()) / kDesignCharWidth);
    QHeaderView* header = horizontalHeader();
    const std::vector<int>& widths = model_->widths();
    for (std::size_t c = 0; c < widths.size(); ++c) {
        const int section = static_cast<int>(c);
        const int scaled = static_cast<int>(std::lround(widths[c] * scale));
        header->resizeSection(section, std::max(scaled, header->sectionSizeHint(section)));
    }
}

} // namespace zuta::performance
