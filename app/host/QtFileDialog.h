#pragma once

#include "host/FileDialog.h"

#include <QString>
#include <string_view>

class QWidget;

namespace zuta::hostapp {

// File and folder dialogs on Qt, modal on the owner. A run without a user (a screenshot) never
// waits on one: every dialog is answered as cancelled.
class QtFileDialog final : public host::IFileDialog {
public:
    explicit QtFileDialog(QWidget* owner = nullptr) : owner_(owner) {}
    std::optional<std::string> SaveFile(const host::FileDialogRequest& request) override;
    std::optional<std::string> OpenFile(const host::FileDialogRequest& request) override;
    std::optional<std::string> ChooseFolder(const std::string& title,
                                            const std::string& start) override;
    void SetInteractive(bool interactive) { interactive_ = interactive; }

    // The module's file-type text ("Description (*.ext) | *.ext", pairs separated by "|",
    // patterns by ";") as Qt's name filters ("Description (*.ext)", separated by ";;").
    static QString NameFilters(std::string_view fileTypes);

private:
    std::optional<std::string> Run(const host::FileDialogRequest& request, bool save);

    QWidget* owner_;
    bool interactive_ = true;
};

} // namespace zuta::hostapp
