#include "OutputPane.h"

#include <QFontDatabase>
#include <QScrollBar>
#include <QTextCursor>

namespace zuta::hostapp {

OutputPane::OutputPane(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName(QStringLiteral("OutputPane"));
    setReadOnly(true);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setMaximumBlockCount(10000);
}

void OutputPane::WriteStatusLine(std::string_view text) {
    QString line = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    line += QLatin1Char('\n');
    // Always queued, also from the pane's own thread, so that lines keep their order whatever
    // thread they come from.
    QMetaObject::invokeMethod(
        this, [this, line] { Append(line); }, Qt::QueuedConnection);
}

void OutputPane::WriteRawText(std::string_view text) {
    QString raw = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    QMetaObject::invokeMethod(
        this, [this, raw] { Append(raw); }, Qt::QueuedConnection);
}

void OutputPane::Append(const QString& text) {
    QScrollBar* bar = verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    if (atEnd) {
        bar->setValue(bar->maximum());
    }
}

} // namespace zuta::hostapp
