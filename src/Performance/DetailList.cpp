#include "Performance/DetailList.h"

#include <QHeaderView>
#include <QTableWidget>
#include <algorithm>

namespace zuta::performance {

QColor ShadedRowColour() {
    return QColor(220, 220, 254);
}

QTableWidget* MakeDetailList(QWidget* parent, const QRect& geometry, int nameWidth,
                             const QFont& font) {
    auto* list = new QTableWidget(0, 2, parent);
    list->setGeometry(geometry);
    list->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Value")});
    list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list->setColumnWidth(0, nameWidth);
    list->setColumnWidth(1, 132);
    list->verticalHeader()->hide();
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setShowGrid(true);
    list->setFont(font);
    list->verticalHeader()->setDefaultSectionSize(16);
    return list;
}

void WidenNameColumn(QTableWidget* list) {
    const int laidOut = list->columnWidth(0);
    list->resizeColumnToContents(0);
    list->setColumnWidth(0, std::max(laidOut, list->columnWidth(0)));
}

void ShowDetailRows(QTableWidget* list, const graphs::DetailRows& rows) {
    const QColor shaded = ShadedRowColour();
    list->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        auto* name = new QTableWidgetItem(QString::fromStdString(rows[r].first));
        if (r % 2 == 1)
            name->setBackground(shaded);
        list->setItem(r, 0, name);
        list->setItem(r, 1, new QTableWidgetItem(QString::fromStdString(rows[r].second)));
    }
    WidenNameColumn(list);
}

} // namespace zuta::performance
