#pragma once

// The entries the host looks up by name after loading the module.

#define ZUTA_EXPORT __attribute__((visibility("default")))

namespace zuta::host {
class IWorkspaceMap;
}

extern "C" {
// Creates the manager when there is none and registers the document template once.
ZUTA_EXPORT bool Init();
// Closes the frame window and deletes the manager.
ZUTA_EXPORT void Term();
// Writes the window state; false, writing nothing, when no frame window is open.
ZUTA_EXPORT bool SaveWorkspace(zuta::host::IWorkspaceMap* map);
// Reopens the window when the workspace says it was open, and restores its placement.
ZUTA_EXPORT void LoadWorkspace(zuta::host::IWorkspaceMap* map);
// Closes the window's docking pane.
ZUTA_EXPORT void CloseWorkspace();
// The module's version as its window shows it ("001.02.03.04"); lets the host name the module
// without its location. A host may do without it.
ZUTA_EXPORT const char* ModuleVersion();
// Pictures the module window `name` (e.g. "task-graph") of the open view as a PNG file; `options`
// holds "key=value" lines. Returns 0, or 1 (a file to show cannot be opened), 2 (unknown window,
// option or value) or 3 (nothing written) with the reason in `message`. A host may do without it.
ZUTA_EXPORT int RenderWindow(const char* name, const char* options, const char* pngPath,
                             char* message, unsigned messageSize);
}

namespace zuta::performance {
using InitEntry = bool (*)();
using TermEntry = void (*)();
using SaveWorkspaceEntry = bool (*)(zuta::host::IWorkspaceMap*);
using LoadWorkspaceEntry = void (*)(zuta::host::IWorkspaceMap*);
using CloseWorkspaceEntry = void (*)();
using ModuleVersionEntry = const char* (*)();
using RenderWindowEntry = int (*)(const char*, const char*, const char*, char*, unsigned);
} // namespace zuta::performance
