#include "QtMessageBox.h"

#include <QMessageBox>
#include <QString>
#include <iostream>

namespace zuta::hostapp {

namespace {

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

host::MessageResult QtMessageBox::DefaultAnswer(host::MessageButtons buttons) {
    return buttons == host::MessageButtons::Ok      ? host::MessageResult::Ok
           : buttons == host::MessageButtons::YesNo ? host::MessageResult::No
                                                    : host::MessageResult::Cancel;
}

host::MessageResult QtMessageBox::Show(std::string_view text, std::string_view caption,
                                       host::MessageIcon icon, host::MessageButtons buttons) {
    if (!interactive_) {
        std::cerr << "message box \"" << caption << "\": " << text << '\n';
        return DefaultAnswer(buttons);
    }
    QMessageBox box(owner_);
    box.setWindowTitle(ToQString(caption));
    box.setText(ToQString(text));
    switch (icon) {
    case host::MessageIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case host::MessageIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case host::MessageIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case host::MessageIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    switch (buttons) {
    case host::MessageButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case host::MessageButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case host::MessageButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Cancel:
        return host::MessageResult::Cancel;
    case QMessageBox::Yes:
        return host::MessageResult::Yes;
    case QMessageBox::No:
        return host::MessageResult::No;
    default:
        // A box closed without a button counts as its safe answer.
        return DefaultAnswer(buttons);
    }
}

} // namespace zuta::hostapp
