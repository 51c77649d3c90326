#pragma once
// What the window benchmarks share: an offscreen application and a host that answers every
// message box with OK, every file dialog with `fileAnswer`, and swallows the output, its settings
// in memory.

#include "host/FileDialog.h"
#include "host/HostWindow.h"
#include "host/MemorySettingsStore.h"
#include "host/MessageBox.h"
#include "host/OutputWindow.h"

#include <QApplication>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zuta::bench {

// The one application of the benchmark program, offscreen unless a platform is chosen.
inline QApplication& BenchApplication() {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "zuta-bench";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

class QuietHost final : public host::IHostWindow,
                        host::IMessageBox,
                        host::IOutputWindow,
                        host::IFileDialog {
public:
    void DockPane(const host::DockPaneRecord&) override {}
    void AddChildFrame(host::WindowHandle) override {}
    void AddDocumentTemplate(std::unique_ptr<host::IDocumentTemplate>) override {}
    host::IDocumentTemplate* FindDocumentTemplate(std::string_view) override { return nullptr; }
    host::IMessageBox& MessageBox() override { return *this; }
    host::IOutputWindow& OutputWindow() override { return *this; }
    host::ISettingsStore& SettingsStore() override { return store; }
    host::IFileDialog* FileDialog() override { return this; }
    std::optional<std::string> SaveFile(const host::FileDialogRequest&) override {
        return fileAnswer;
    }
    std::optional<std::string> OpenFile(const host::FileDialogRequest&) override {
        return fileAnswer;
    }
    std::optional<std::string> ChooseFolder(const std::string&, const std::string&) override {
        return fileAnswer;
    }
    host::MessageResult Show(std::string_view, std::string_view, host::MessageIcon,
                             host::MessageButtons) override {
        return host::MessageResult::Ok;
    }
    void WriteStatusLine(std::string_view) override {}
    void WriteRawText(std::string_view) override {}

    host::MemorySettingsStore store;
    std::optional<std::string> fileAnswer;
};

} // namespace zuta::bench
