#pragma once

#include <optional>
#include <string>

namespace zuta::host {

// What a file dialog asks for. The filter is written as the module's dialogs always wrote it,
// "Description (*.ext) | *.ext".
struct FileDialogRequest {
    std::string filter;
    std::string defaultExtension; // added to a typed name without one; without the "."
    bool promptOverwrite = false; // save: ask before replacing an existing file
    bool mustExist = false;       // open: only an existing file is accepted
};

// The platform's file and folder dialogs, modal on the module's window; tests answer them with a
// scripted implementation. Each gives the chosen full path, or nothing when the user cancelled.
class IFileDialog {
public:
    virtual ~IFileDialog() = default;
    virtual std::optional<std::string> SaveFile(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> OpenFile(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> ChooseFolder(const std::string& title,
                                                    const std::string& start) = 0;
};

} // namespace zuta::host
