#pragma once

#include "host/MessageBox.h"

class QWidget;

namespace zuta::hostapp {

// Modal message boxes on Qt. A run without a user (a screenshot) never waits on one: the box is
// written to stderr and answered with its safe default.
class QtMessageBox final : public host::IMessageBox {
public:
    explicit QtMessageBox(QWidget* owner = nullptr) : owner_(owner) {}
    host::MessageResult Show(std::string_view text, std::string_view caption,
                             host::MessageIcon icon, host::MessageButtons buttons) override;
    void SetInteractive(bool interactive) { interactive_ = interactive; }

    // What a box closed without a button answers.
    static host::MessageResult DefaultAnswer(host::MessageButtons buttons);

private:
    QWidget* owner_;
    bool interactive_ = true;
};

} // namespace zuta::hostapp
