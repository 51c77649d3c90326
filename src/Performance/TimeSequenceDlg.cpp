#include "Performance/TimeSequenceDlg.h"

#include "Performance/DetailList.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QTableView>
#include <QVBoxLayout>

namespace zuta::performance {

// The sequence as list rows; the list asks only for the rows it shows, so long lists open at
// once.
class TimeSequenceModel final : public QAbstractTableModel {
public:
    explicit TimeSequenceModel(const graphs::TimeSequence& sequence) : sequence_(sequence) {}

    void Reload() {
        beginResetModel();
        endResetModel();
    }

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(sequence_.entries().size());
    }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 2; }

    QVariant data(const QModelIndex& index, int role) const override {
        const auto row = static_cast<std::size_t>(index.row());
        if (!index.isValid() || row >= sequence_.entries().size()) {
            return {};
        }
        if (role == Qt::DisplayRole) {
            return QString::fromStdString(index.column() == 0 ? sequence_.PositionText(row)
                                                              : sequence_.TimeText(row));
        }
        if (role == Qt::BackgroundRole) {
            if (sequence_.OffPeriod(row)) {
                return QColor(240, 10, 0);
            }
            if (row % 2 == 1) {
                return ShadedRowColour();
            }
        }
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
            return section == 0 ? QStringLiteral("Pos") : QStringLiteral("Time");
        }
        return {};
    }

private:
    const graphs::TimeSequence& sequence_;
};

CTimeSequenceDlg::CTimeSequenceDlg(QWidget* parent)
    : QDialog(parent), model_(std::make_unique<TimeSequenceModel>(sequence_)),
      list_(new QTableView(this)) {
    setWindowTitle(QStringLiteral("Time Sequence"));
    resize(252, 560);
    list_->setModel(model_.get());
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->verticalHeader()->hide();
    list_->horizontalHeader()->setSectionsMovable(true);
    list_->setColumnWidth(0, 100);
    list_->setColumnWidth(1, 124);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(7, 7, 7, 7);
    layout->addWidget(list_);
}

CTimeSequenceDlg::~CTimeSequenceDlg() {
    list_->setModel(nullptr);
}

void CTimeSequenceDlg::showEvent(QShowEvent* event) {
    model_->Reload();
    list_->setColumnWidth(0, 100);
    list_->setColumnWidth(1, 124);
    QDialog::showEvent(event);
}

} // namespace zuta::performance
