#pragma once

#include "Performance/PerformanceExports.h"

#include <string>

namespace zuta::hostapp {

// A module library loaded with the dynamic loader and its five entries.
class ModuleLoader {
public:
    ModuleLoader() = default;
    ~ModuleLoader();
    ModuleLoader(const ModuleLoader&) = delete;
    ModuleLoader& operator=(const ModuleLoader&) = delete;

    // False, with error() set, when the library cannot be loaded or lacks an entry.
    bool Load(const std::string& path);
    void Unload();
    bool loaded() const { return handle_ != nullptr; }
    const std::string& error() const { return error_; }
    // "libZUTA.so 001.02.03.04": the library's file name and the version it tells, never its
    // folder, which belongs to the machine it was built on.
    std::string Description() const;

    performance::InitEntry init = nullptr;
    performance::TermEntry term = nullptr;
    performance::SaveWorkspaceEntry saveWorkspace = nullptr;
    performance::LoadWorkspaceEntry loadWorkspace = nullptr;
    performance::CloseWorkspaceEntry closeWorkspace = nullptr;
    // Optional: null when the module does not tell its version.
    performance::ModuleVersionEntry moduleVersion = nullptr;
    // Optional: null when the module cannot picture its windows.
    performance::RenderWindowEntry renderWindow = nullptr;

private:
    void* handle_ = nullptr;
    std::string path_;
    std::string error_;
};

} // namespace zuta::hostapp
