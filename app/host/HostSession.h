#pragma once

#include "ModuleLoader.h"
#include "host/Workspace.h"

#include <string>

namespace zuta::hostapp {

class MainWindow;

// The host's side of a module's life: load it, Init, restore its window from the workspace file;
// at the end save the workspace, Term, and unload it.
class HostSession {
public:
    HostSession(MainWindow& window, std::string workspacePath);
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // False, with the reason in the output window and error(), when the module cannot be loaded.
    bool Start(const std::string& modulePath);
    // Saves the workspace (when asked) and unloads the module; safe to call twice.
    void Shutdown(bool saveWorkspace);

    const std::string& error() const { return module_.error(); }
    ModuleLoader& module() { return module_; }
    const host::WorkspaceMap& workspace() const { return workspace_; }

private:
    MainWindow& window_;
    std::string workspacePath_;
    host::WorkspaceMap workspace_;
    ModuleLoader module_;
};

} // namespace zuta::hostapp
