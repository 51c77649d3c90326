#include "Performance/ResourceSwitch.h"

#include "host/MessageBox.h"

#include <dlfcn.h>

namespace zuta::performance {

namespace {

std::string& CurrentModule() {
    // Resource scopes are opened on the host's window thread only.
    static std::string current;
    return current;
}

} // namespace

ModuleLocation LocateOwnModule() {
    ModuleLocation location;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&LocateOwnModule), &info) != 0 &&
        info.dli_fname != nullptr && info.dli_fname[0] != '\0') {
        location.found = true;
        location.path = info.dli_fname;
    } else {
        const char* error = dlerror();
        location.error = error != nullptr ? error : "the module is not among the loaded objects";
    }
    return location;
}

std::string CurrentResourceModule() {
    return CurrentModule();
}

std::string CCustomResourceScope::ErrorText(std::string_view systemError,
                                            std::string_view sourceFile, int line) {
    std::string text = "Failed to change resource handle\n(System error: ";
    text += systemError;
    text += " )\nMudule name: ";
    text += kModuleFileName;
    text += "\nSource Files:";
    text += sourceFile;
    text += ", ";
    text += std::to_string(line);
    return text;
}

CCustomResourceScope::CCustomResourceScope(std::string_view sourceFile, int line,
                                           host::IMessageBox* messageBox,
                                           const ModuleLocator& locate) {
    const ModuleLocation location = locate();
    if (location.found) {
        previous_ = CurrentModule();
        CurrentModule() = location.path;
        switched_ = true;
        return;
    }
    if (messageBox != nullptr) {
        messageBox->Show(ErrorText(location.error, sourceFile, line),
                         "Error in - Use Custom Resource", host::MessageIcon::Error);
    }
}

CCustomResourceScope::~CCustomResourceScope() {
    if (switched_) {
        CurrentModule() = previous_;
    }
}

} // namespace zuta::performance
