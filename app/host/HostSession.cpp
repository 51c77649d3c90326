#include "HostSession.h"

#include "MainWindow.h"
#include "WorkspaceFile.h"

namespace zuta::hostapp {

HostSession::HostSession(MainWindow& window, std::string workspacePath)
    : window_(window), workspacePath_(std::move(workspacePath)) {}

HostSession::~HostSession() {
    Shutdown(false);
}

bool HostSession::Start(const std::string& modulePath) {
    if (!module_.Load(modulePath)) {
        window_.OutputWindow().WriteStatusLine("Cannot load module " + modulePath + ": " +
                                               module_.error());
        return false;
    }
    window_.OutputWindow().WriteStatusLine("Loaded module " + module_.Description());
    module_.init();
    workspace_ = ReadWorkspaceFile(workspacePath_);
    module_.loadWorkspace(&workspace_);
    return true;
}

void HostSession::Shutdown(bool saveWorkspace) {
    if (!module_.loaded()) {
        return;
    }
    if (saveWorkspace) {
        // A module without an open window writes nothing, so the keys it wrote last time would
        // reopen a window the user had closed.
        if (!module_.saveWorkspace(&workspace_)) {
            workspace_.Set(host::kWorkspaceWindow, "0");
        }
        if (!WriteWorkspaceFile(workspacePath_, workspace_)) {
            window_.OutputWindow().WriteStatusLine("Cannot write the workspace file " +
                                                   workspacePath_);
        }
    }
    module_.term();
    window_.RemoveDocumentTemplates();
    module_.Unload();
}

} // namespace zuta::hostapp
