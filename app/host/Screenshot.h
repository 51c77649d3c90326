#pragma once

#include <string>

namespace zuta::host {
class ISettingsStore;
}

namespace zuta::hostapp {

class MainWindow;

// Size of the main window in a screenshot: wide enough for every column of the task table.
inline constexpr int kScreenshotWidth = 1440;
inline constexpr int kScreenshotHeight = 900;

// Lets posted events (the view's initial update, layouts, deferred deletes) run a few rounds.
void SettleEvents();

// Makes `path` the file the module reopens when its view starts (the setting "lastOpenFile");
// a relative path is made absolute first. False when the store could not be written.
bool RememberFileToOpen(host::ISettingsStore& store, const std::string& path);

// Renders the main window as it would show: opens a module document when none is open, maximises
// the active one, lets the window lay itself out, and writes a PNG. False with `error` when no
// picture could be written.
bool SaveScreenshot(MainWindow& window, const std::string& pngPath, std::string& error);

} // namespace zuta::hostapp
