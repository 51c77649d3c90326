#pragma once

#include "OutputPane.h"
#include "QtFileDialog.h"
#include "QtMessageBox.h"
#include "QtProcessLauncher.h"
#include "host/HostWindow.h"
#include "host/IniSettingsStore.h"

#include <QDockWidget>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QMdiArea;

namespace zuta::hostapp {

// A dock holding one module pane. Closing the dock closes the pane first, and the dock goes away.
class PaneDock final : public QDockWidget {
    Q_OBJECT
public:
    PaneDock(const QString& title, QWidget* parent);

protected:
    void closeEvent(QCloseEvent* event) override;
};

// The host main window: a multi-document area, module panes docked around it, the output window
// at the bottom, and the document templates the modules register. While it exists it is the
// application's host window for modules (host::kHostWindowProperty).
class MainWindow final : public QMainWindow, public host::IHostWindow {
    Q_OBJECT
public:
    explicit MainWindow(std::string settingsPath, QWidget* parent = nullptr);
    ~MainWindow() override;

    void DockPane(const host::DockPaneRecord& record) override;
    void AddChildFrame(host::WindowHandle frame) override;
    bool SetFrameMenu(host::WindowHandle frame, host::WindowHandle menu) override;
    void AddDocumentTemplate(std::unique_ptr<host::IDocumentTemplate> documentTemplate) override;
    host::IDocumentTemplate* FindDocumentTemplate(std::string_view name) override;
    host::IMessageBox& MessageBox() override { return messageBox_; }
    host::IOutputWindow& OutputWindow() override { return *output_; }
    host::ISettingsStore& SettingsStore() override { return settings_; }
    host::IFileDialog* FileDialog() override { return &fileDialog_; }
    host::IProcessLauncher* ProcessLauncher() override { return &launcher_; }
    host::ICommandLink* CommandLink() override { return commandLink_; }
    host::IDataLink* DataLink() override { return dataLink_; }
    host::ISenderNameResolver* SenderNameResolver() override { return resolver_; }

    // The links to the target lent to modules (any may be null); set before the module is loaded
    // and kept until it is unloaded.
    void SetTargetLinks(host::ICommandLink* commandLink, host::IDataLink* dataLink,
                        host::ISenderNameResolver* resolver);

    // A window nobody looks at (a screenshot) answers its message boxes and file dialogs itself.
    void SetInteractive(bool interactive) {
        messageBox_.SetInteractive(interactive);
        fileDialog_.SetInteractive(interactive);
    }

    // Drops every template; done before the modules that made them are unloaded.
    void RemoveDocumentTemplates();

    QMdiArea* mdiArea() const { return mdiArea_; }
    OutputPane* outputPane() const { return output_; }
    // The menu of the active child frame now in the menu bar, or null.
    QMenu* frameMenuShown() const { return shownFrameMenu_; }

    // Called once when the user closes the window, before it goes.
    void SetCloseHandler(std::function<void()> handler) { closeHandler_ = std::move(handler); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void RebuildNewMenu();
    void ShowActiveFrameMenu();

    QMdiArea* mdiArea_;
    OutputPane* output_;
    QMenu* newMenu_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    // Child frames and the menus they show while active.
    std::map<QObject*, QPointer<QMenu>> frameMenus_;
    QPointer<QMenu> shownFrameMenu_;
    QtMessageBox messageBox_;
    QtFileDialog fileDialog_{this};
    QtProcessLauncher launcher_;
    host::IniSettingsStore settings_;
    std::vector<std::unique_ptr<host::IDocumentTemplate>> templates_;
    host::ICommandLink* commandLink_ = nullptr;
    host::IDataLink* dataLink_ = nullptr;
    host::ISenderNameResolver* resolver_ = nullptr;
    std::function<void()> closeHandler_;
};

} // namespace zuta::hostapp
