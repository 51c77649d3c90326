#pragma once

#include "host/OutputWindow.h"

#include <QPlainTextEdit>

namespace zuta::hostapp {

// The host's output window: status lines and raw text from any thread, shown in order of arrival.
class OutputPane final : public QPlainTextEdit, public host::IOutputWindow {
    Q_OBJECT
public:
    explicit OutputPane(QWidget* parent = nullptr);

    void WriteStatusLine(std::string_view text) override;
    void WriteRawText(std::string_view text) override;

private:
    // Runs on the pane's thread only.
    void Append(const QString& text);
};

} // namespace zuta::hostapp
