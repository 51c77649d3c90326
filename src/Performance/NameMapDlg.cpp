#include "Performance/NameMapDlg.h"

#include "Performance/DetailList.h"
#include "host/TextNumbers.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace zuta::performance {

namespace {} // namespace

CNameMapDlg::CNameMapDlg(const QString& title, const QString& numberHeader, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(title);

    list_ = new QTableWidget(0, 2, this);
    list_->setHorizontalHeaderLabels({QStringLiteral("String Value"), numberHeader});
    list_->horizontalHeaderItem(kNumberColumn)->setTextAlignment(Qt::AlignCenter);
    list_->horizontalHeader()->setSectionsMovable(true);
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list_->setColumnWidth(kNameColumn, 115);
    list_->setColumnWidth(kNumberColumn, 90);
    list_->verticalHeader()->hide();
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                           QAbstractItemView::EditKeyPressed);

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    ok_->setDefault(true);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    resize(250, 430);

    connect(ok_, &QPushButton::clicked, this, &CNameMapDlg::accept);
    connect(cancel_, &QPushButton::clicked, this, &CNameMapDlg::reject);
    connect(list_, &QTableWidget::itemChanged, this, &CNameMapDlg::OnItemChanged);
}

void CNameMapDlg::AddRow(const std::string& name, std::uint32_t number) {
    const int row = list_->rowCount();
    writing_ = true;
    list_->insertRow(row);
    auto* nameItem = new QTableWidgetItem(QString::fromStdString(name));
    auto* numberItem = new QTableWidgetItem(
        QString::fromStdString(text::FormatSigned(static_cast<std::int32_t>(number))));
    numberItem->setTextAlignment(Qt::AlignCenter);
    numberItem->setFlags(numberItem->flags() & ~Qt::ItemIsEditable);
    if (row % 2 == 0) {
        nameItem->setBackground(ShadedRowColour());
        numberItem->setBackground(ShadedRowColour());
    }
    list_->setItem(row, kNameColumn, nameItem);
    list_->setItem(row, kNumberColumn, numberItem);
    writing_ = false;
}

void CNameMapDlg::OnItemChanged(QTableWidgetItem* item) {
    if (writing_ || item->column() != kNameColumn)
        return;
    const int row = item->row();
    if (Rename(row, item->text().toStdString()))
        modified_ = true;
    // The row shows what the map holds: the old name of a refused edit, a new one as kept.
    writing_ = true;
    item->setText(QString::fromStdString(NameAt(row)));
    writing_ = false;
}

void CNameMapDlg::accept() {
    if (modified_)
        SaveMap();
    QDialog::accept();
}

} // namespace zuta::performance
