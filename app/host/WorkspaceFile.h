#pragma once

#include "host/Workspace.h"

#include <string>

namespace zuta::hostapp {

// The workspace map kept between runs in an INI file, section "Workspace".
// A missing or unreadable file gives an empty map.
host::WorkspaceMap ReadWorkspaceFile(const std::string& path);
// False when the file could not be written.
bool WriteWorkspaceFile(const std::string& path, const host::WorkspaceMap& map);

} // namespace zuta::hostapp
