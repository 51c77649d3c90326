#pragma once

#include "graphs/CpuGraphModel.h"

class QColor;
class QFont;
class QRect;
class QTableWidget;
class QWidget;

namespace zuta::performance {

// The background of every other row of the module's lists.
QColor ShadedRowColour();

// A two-column detail list of a graph ("Name", "Value"): full-row selection, grid lines, not
// editable, the name column `nameWidth` pixels wide and the value column 132.
QTableWidget* MakeDetailList(QWidget* parent, const QRect& geometry, int nameWidth,
                             const QFont& font);
// Widens the name column to its longest name, never narrowing it: names are never cut when the
// font is wider than the list was laid out for.
void WidenNameColumn(QTableWidget* list);
// Replaces the rows of a detail list; the names of odd rows are shaded.
void ShowDetailRows(QTableWidget* list, const graphs::DetailRows& rows);

} // namespace zuta::performance
