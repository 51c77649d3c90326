#include "Render.h"

#include "MainWindow.h"
#include "ModuleLoader.h"
#include "Screenshot.h"

#include <QMdiArea>
#include <array>

namespace zuta::hostapp {

int RenderModuleWindow(MainWindow& window, ModuleLoader& module, const RenderRequest& request,
                       std::string& error) {
    if (module.renderWindow == nullptr) {
        error = "the module cannot picture its windows";
        return kRenderNotWritten;
    }
    window.show();
    SettleEvents();
    if (window.mdiArea()->subWindowList().isEmpty()) {
        if (host::IDocumentTemplate* documentTemplate = window.FindDocumentTemplate("ZUTA")) {
            documentTemplate->OpenNewDocument();
            SettleEvents();
        }
    }
    std::string options;
    for (const std::string& option : request.options)
        options += option + '\n';
    std::array<char, 512> message{};
    const int status =
        module.renderWindow(request.window.c_str(), options.c_str(), request.pngPath.c_str(),
                            message.data(), static_cast<unsigned>(message.size()));
    if (status != 0)
        error = message.data();
    return status;
}

} // namespace zuta::hostapp
