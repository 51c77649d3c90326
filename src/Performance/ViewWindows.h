#pragma once

#include <QWidget>
#include <string_view>
#include <vector>

namespace zuta::performance {

class CPerformanceView;

// Opens a window of the module on a view, filled as the user would see it, shown without
// waiting for it to close. The window belongs to the view (deleted on close or with the view).
using WindowOpener = QWidget* (*)(CPerformanceView& view);

// A window of the module that the host can picture by name ("zuta screenshot NAME").
struct ViewWindow {
    std::string_view name; // as given on the command line, e.g. "settings"
    WindowOpener open;
};

// Shows a window the view owns and deletes when it closes: modal on the view's window without
// waiting for it (the link threads' notifications keep flowing), or alongside it.
template <class Window> Window* ShowViewWindow(Window* window, bool modal) {
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (modal)
        window->open();
    else
        window->show();
    return window;
}

const std::vector<ViewWindow>& ViewWindows();
// The window of `name`, or null.
const ViewWindow* FindViewWindow(std::string_view name);

} // namespace zuta::performance
