#include "ModuleLoader.h"

#include <dlfcn.h>
#include <filesystem>

namespace zuta::hostapp {

namespace {

template <typename Entry>
bool Resolve(void* handle, const char* name, Entry& entry, std::string& error) {
    dlerror();
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr) {
        const char* reason = dlerror();
        error =
            std::string("entry ") + name + " missing" + (reason ? std::string(": ") + reason : "");
        return false;
    }
    entry = reinterpret_cast<Entry>(symbol);
    return true;
}

} // namespace

ModuleLoader::~ModuleLoader() {
    Unload();
}

bool ModuleLoader::Load(const std::string& path) {
    Unload();
    error_.clear();
    path_ = path;
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        error_ = reason != nullptr ? reason : "cannot load " + path;
        return false;
    }
    if (!Resolve(handle_, "Init", init, error_) || !Resolve(handle_, "Term", term, error_) ||
        !Resolve(handle_, "SaveWorkspace", saveWorkspace, error_) ||
        !Resolve(handle_, "LoadWorkspace", loadWorkspace, error_) ||
        !Resolve(handle_, "CloseWorkspace", closeWorkspace, error_)) {
        Unload();
        return false;
    }
    moduleVersion =
        reinterpret_cast<performance::ModuleVersionEntry>(dlsym(handle_, "ModuleVersion"));
    renderWindow = reinterpret_cast<performance::RenderWindowEntry>(dlsym(handle_, "RenderWindow"));
    dlerror();
    return true;
}

std::string ModuleLoader::Description() const {
    std::string text = std::filesystem::path(path_).filename().string();
    if (moduleVersion != nullptr) {
        if (const char* version = moduleVersion(); version != nullptr && version[0] != '\0') {
            text += " ";
            text += version;
        }
    }
    return text;
}

void ModuleLoader::Unload() {
    if (handle_ != nullptr) {
        dlclose(handle_);
        handle_ = nullptr;
    }
    init = nullptr;
    term = nullptr;
    saveWorkspace = nullptr;
    loadWorkspace = nullptr;
    closeWorkspace = nullptr;
    moduleVersion = nullptr;
    renderWindow = nullptr;
}

} // namespace zuta::hostapp
