#pragma once

#include <string>
#include <vector>

namespace zuta::hostapp {

class MainWindow;
class ModuleLoader;

// The status of a picture that could not be written.
inline constexpr int kRenderNotWritten = 3;

// A window of the module to picture: its name ("task-graph") and "key=value" options.
struct RenderRequest {
    std::string window;
    std::vector<std::string> options;
    std::string pngPath;
};

// Opens a module document when none is open and has the module picture the window into a PNG
// file. Returns the module's status (0 written, 1 a file to show cannot be opened, 2 an unknown
// window, option or value, 3 nothing written) with `error` set when not 0.
int RenderModuleWindow(MainWindow& window, ModuleLoader& module, const RenderRequest& request,
                       std::string& error);

} // namespace zuta::hostapp
