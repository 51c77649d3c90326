#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace zuta::host {

class ICommandLink;
class IDataLink;
class IFileDialog;
class IMessageBox;
class IOutputWindow;
class IProcessLauncher;
class ISenderNameResolver;
class ISettingsStore;

// A window passed across the host boundary untyped, as the host's window handles always were.
// Both sides are built on the same toolkit, which gives the pointer its type.
using WindowHandle = void*;

// Application property through which the module finds the host main window: the property holds
// an IHostWindow* as a plain pointer.
inline constexpr const char* kHostWindowProperty = "zutaHostWindow";

// What the module asks when it docks a pane into the host main window.
struct DockPaneRecord {
    WindowHandle pane = nullptr; // the pane's content; the host reparents it into its dock
    std::string title;           // the dock's caption, e.g. "ZUT Tool"
    bool visible = true;
};

// A document type the host can open: builds document, frame and view together.
class IDocumentTemplate {
public:
    virtual ~IDocumentTemplate() = default;
    virtual std::string_view Name() const = 0;
    // Opens a new, visible document; the result is its frame window, null when that failed.
    virtual WindowHandle OpenNewDocument() = 0;
};

// The services of the host main window that the module relies on. All calls are made on the
// host's window thread.
class IHostWindow {
public:
    virtual ~IHostWindow() = default;

    // Docks `record.pane` as a closable pane. Closing the dock closes the pane's content first.
    virtual void DockPane(const DockPaneRecord& record) = 0;
    // Adds a child frame to the multi-document area; the area takes ownership of it.
    virtual void AddChildFrame(WindowHandle frame) = 0;
    // Shows `menu` in the main menu bar whenever `frame` is the active child frame, as that
    // frame's own menu. The menu stays the module's; the host forgets it when the menu or the
    // frame goes. False when the host does not merge frame menus (the module shows it itself).
    virtual bool SetFrameMenu(WindowHandle /*frame*/, WindowHandle /*menu*/) { return false; }

    // Registers a document template; the host keeps it until RemoveDocumentTemplates.
    virtual void AddDocumentTemplate(std::unique_ptr<IDocumentTemplate> documentTemplate) = 0;
    // The template registered under `name`, or null.
    virtual IDocumentTemplate* FindDocumentTemplate(std::string_view name) = 0;

    virtual IMessageBox& MessageBox() = 0;
    virtual IOutputWindow& OutputWindow() = 0;
    virtual ISettingsStore& SettingsStore() = 0;
    // The file dialogs and the starter of other programs; null when the host has none.
    virtual IFileDialog* FileDialog() { return nullptr; }
    virtual IProcessLauncher* ProcessLauncher() { return nullptr; }

    // The links to the target and the sender names of the command link; null while the host has
    // no target. A view takes them at its initial update and keeps them for its whole life.
    virtual ICommandLink* CommandLink() { return nullptr; }
    virtual IDataLink* DataLink() { return nullptr; }
    virtual ISenderNameResolver* SenderNameResolver() { return nullptr; }
};

} // namespace zuta::host
