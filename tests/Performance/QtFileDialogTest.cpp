// The host's file dialog on Qt. Not under the thread sanitizer: the dialog runs Qt's own worker
// threads, whose locking inside the uninstrumented Qt libraries the sanitizer cannot see.
#include "QtFileDialog.h"

#include "QtTestApp.h"
#include "support/TempFolder.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QTimer>
#include <gtest/gtest.h>
#include <utility>

namespace zuta::hostapp {
namespace {

// The module's file types as Qt's name filters; the real dialog, answered through its own
// controls, gives a name typed without an extension the default one.
TEST(QtFileDialog, FiltersAndTheDefaultExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"ZUT RAW data files (*.zuta) | *.zuta", "ZUT RAW data files (*.zuta)"},
        {"Logs | *.log;*.txt", "Logs (*.log *.txt)"},
        {"A (*.a) | *.a | B (*.b) | *.b", "A (*.a);;B (*.b)"},
    };
    for (const auto& [fileTypes, filters] : cases)
        EXPECT_EQ(QtFileDialog::NameFilters(fileTypes).toStdString(), filters);

    test::TestApplication();
    test::TempFolder folder;
    QTimer::singleShot(0, [&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QFileDialog*>(window); dialog && dialog->isVisible()) {
                dialog->setDirectory(QString::fromStdString(folder.path().string()));
                dialog->selectFile(QStringLiteral("run"));
                auto* buttons = dialog->findChild<QDialogButtonBox*>();
                for (QAbstractButton* button : buttons->buttons())
                    if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole)
                        button->click();
            }
        }
    });
    QtFileDialog dialogs;
    EXPECT_EQ(dialogs.SaveFile({"ZUT RAW data files (*.zuta) | *.zuta", "zuta", true, false}),
              folder / "run.zuta");
}

} // namespace
} // namespace zuta::hostapp
