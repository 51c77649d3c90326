#include "Screenshot.h"

#include "MainWindow.h"
#include "settings/PerformanceSettings.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPixmap>
#include <filesystem>

namespace zuta::hostapp {

void SettleEvents() {
    for (int round = 0; round < 10; ++round) {
        QApplication::sendPostedEvents();
        QApplication::processEvents();
    }
}

bool RememberFileToOpen(host::ISettingsStore& store, const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    PerformanceSettings settings;
    settings.load(store);
    settings.lastOpenFile = error ? path : absolute.string();
    return settings.save(store);
}

bool SaveScreenshot(MainWindow& window, const std::string& pngPath, std::string& error) {
    window.show();
    SettleEvents();
    if (window.mdiArea()->subWindowList().isEmpty()) {
        if (host::IDocumentTemplate* documentTemplate = window.FindDocumentTemplate("ZUTA")) {
            documentTemplate->OpenNewDocument();
            SettleEvents();
        }
    }
    const QList<QMdiSubWindow*> frames = window.mdiArea()->subWindowList();
    if (!frames.isEmpty()) {
        QMdiSubWindow* active = window.mdiArea()->activeSubWindow();
        (active != nullptr ? active : frames.front())->showMaximized();
        SettleEvents();
    }
    const QPixmap picture = window.grab();
    if (picture.isNull() || !picture.save(QString::fromStdString(pngPath), "PNG")) {
        error = "cannot write " + pngPath;
        return false;
    }
    return true;
}

} // namespace zuta::hostapp
