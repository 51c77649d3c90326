#pragma once

#include "host/MessageBox.h"

class QWidget;

namespace zuta::hostapp {

// Modal message boxes on Qt.
class QtMessageBox final : public host::IMessageBox {
public:
    explicit QtMessageBox(QWidget* owner = nullptr) : owner_(owner) {}
    host::MessageResult Show(std::string_view text, std::string_view caption,
                             host::MessageIcon icon, host::MessageButtons buttons) override;

private:
    QWidget* owner_;
};

} // namespace zuta::hostapp
