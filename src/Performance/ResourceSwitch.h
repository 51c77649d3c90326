#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace zuta::host {
class IMessageBox;
}

namespace zuta::performance {

// The module's own file name, as the host loads it.
inline constexpr std::string_view kModuleFileName = "libZUTA.so";

// Where the loaded module lives; `error` says why when it was not found.
struct ModuleLocation {
    bool found = false;
    std::string path;
    std::string error;
};

// Finds the module holding this code through the dynamic loader.
ModuleLocation LocateOwnModule();

using ModuleLocator = std::function<ModuleLocation()>;

// The module file whose resources (version, icons) are in use; empty outside a resource scope.
std::string CurrentResourceModule();

// Makes the module's own file the source of resources for the lifetime of the scope and restores
// the previous one at its end. When the module cannot be found, says so in an error box (no owner)
// naming the reporting source and line, and carries on with the resources in use.
class CCustomResourceScope {
public:
    CCustomResourceScope(std::string_view sourceFile, int line, host::IMessageBox* messageBox,
                         const ModuleLocator& locate = LocateOwnModule);
    ~CCustomResourceScope();
    CCustomResourceScope(const CCustomResourceScope&) = delete;
    CCustomResourceScope& operator=(const CCustomResourceScope&) = delete;

    bool switched() const { return switched_; }

    static std::string ErrorText(std::string_view systemError, std::string_view sourceFile,
                                 int line);

private:
    bool switched_ = false;
    std::string previous_;
};

} // namespace zuta::performance
