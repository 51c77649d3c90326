#pragma once

#include "Performance/PerformanceControlBar.h"
#include "Performance/PerformanceDoc.h"
#include "Performance/PerformanceFrame.h"
#include "Performance/PerformanceView.h"
#include "QtTestApp.h"
#include "agent/CollectorAgent.h"
#include "collection/CollectionController.h"
#include "collection/CollectorLink.h"
#include "host/FileDialog.h"
#include "host/HostWindow.h"
#include "host/MemorySettingsStore.h"
#include "link/HostLink.h"
#include "settings/PerformanceSettings.h"
#include "support/Recorders.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QLineEdit>
#include <algorithm>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zuta::test {

inline const std::string kDataDir = ZUTA_TEST_DATA_DIR "/files/";

// Runs the window thread's events until the condition holds; false when it did not in time.
inline bool PumpUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Answers every file and folder dialog with `answer` (nothing: cancelled) and keeps what was asked.
class ScriptedFileDialog final : public host::IFileDialog {
public:
    std::optional<std::string> SaveFile(const host::FileDialogRequest& request) override {
        asked.emplace_back(request, true);
        return answer;
    }
    std::optional<std::string> OpenFile(const host::FileDialogRequest& request) override {
        asked.emplace_back(request, false);
        return answer;
    }
    std::optional<std::string> ChooseFolder(const std::string&, const std::string& start) override {
        folderStart = start;
        return answer;
    }

    std::optional<std::string> answer;
    std::vector<std::pair<host::FileDialogRequest, bool>> asked; // request, save
    std::string folderStart;
};

// The host window as a view sees it: links to a target, a starter of programs and file dialogs
// when given; message boxes, status lines and the templates given recorded.
class ViewHost final : public host::IHostWindow {
public:
    void DockPane(const host::DockPaneRecord&) override {}
    void AddChildFrame(host::WindowHandle) override {}
    void AddDocumentTemplate(std::unique_ptr<host::IDocumentTemplate> documentTemplate) override {
        templates.push_back(std::move(documentTemplate));
    }
    host::IDocumentTemplate* FindDocumentTemplate(std::string_view) override { return nullptr; }
    host::IMessageBox& MessageBox() override { return messageBox; }
    host::IOutputWindow& OutputWindow() override { return output; }
    host::ISettingsStore& SettingsStore() override { return store; }
    host::IProcessLauncher* ProcessLauncher() override { return launcher; }
    host::IFileDialog* FileDialog() override { return withFileDialog ? &fileDialog : nullptr; }
    host::ICommandLink* CommandLink() override { return link; }
    host::IDataLink* DataLink() override { return link; }
    host::ISenderNameResolver* SenderNameResolver() override { return link; }

    // The message boxes shown, as "caption: text".
    std::vector<std::string> Boxes() const {
        std::vector<std::string> boxes;
        for (const ShownBox& box : messageBox.shown)
            boxes.push_back(box.caption + ": " + box.text);
        return boxes;
    }

    host::MemorySettingsStore store;
    RecordingOutput output;
    RecordingMessageBox messageBox;
    ScriptedFileDialog fileDialog;
    bool withFileDialog = false;
    host::IProcessLauncher* launcher = nullptr;
    link::HostLink* link = nullptr;
    std::vector<std::unique_ptr<host::IDocumentTemplate>> templates;
};

struct ViewOptions {
    std::optional<agent::AgentOptions> target = {}; // the simulated target's; none: no target
    std::string lastOpenFile = {}; // a file of the test data, reopened at the initial update
    std::function<void(PerformanceSettings&)> adjust = {};
};

inline ViewOptions LastFile(const std::string& name) {
    ViewOptions options;
    options.lastOpenFile = kDataDir + name;
    return options;
}

// With the simulated target, its stream held until released; `seconds` 0 streams until "Stop".
inline ViewOptions Target(double seconds = 0.3, double speed = 0.0) {
    ViewOptions options;
    options.target.emplace();
    options.target->seed = 5;
    options.target->speed = speed;
    options.target->duration = seconds;
    options.target->holdStream = true;
    return options;
}

// The host's side of one target: the simulated agent behind a loopback link, or nothing.
struct TargetRig {
    explicit TargetRig(const ViewOptions& options) {
        if (!options.target)
            return;
        agent = std::make_unique<agent::CollectorAgent>(*options.target);
        std::string error;
        if (agent->Start(error)) {
            link =
                std::make_unique<link::HostLink>(link::TcpLinkOpener("127.0.0.1", agent->port()));
            host.link = link.get();
        }
    }
    ~TargetRig() {
        if (link)
            link->Close();
    }

    std::unique_ptr<agent::CollectorAgent> agent;
    std::unique_ptr<link::HostLink> link;
    ViewHost host;
};

// One document of the module built as the document template builds it, in a host of its own or
// in the host of another document (the same target). Raw data blocks go to a folder of its own.
class ViewInHost {
public:
    explicit ViewInHost(const ViewOptions& options = {}, ViewInHost* sameHost = nullptr)
        : target_(sameHost != nullptr ? sameHost->target_ : std::make_shared<TargetRig>(options)),
          host(target_->host), agent(target_->agent.get()), link(target_->link.get()) {
        TestApplication();
        if (sameHost == nullptr) {
            PerformanceSettings settings;
            settings.dumpPath = folder.path().string();
            settings.lastOpenFile = options.lastOpenFile;
            if (options.adjust)
                options.adjust(settings);
            settings.save(host.store);
        }
        auto* document = new performance::CPerformanceDoc();
        document->OnNewDocument();
        frame = new performance::CPerformanceFrame(document);
        view = new performance::CPerformanceView(frame, &host);
        frame->SetView(view);
        frame->Create(host);
        view->OnInitialUpdate();
        RunPostedEvents();
    }
    ~ViewInHost() { delete frame; }

    performance::CPerformanceControlBar& bar() const { return *frame->controlBar(); }
    std::string BarText(QLineEdit* (performance::CPerformanceControlBar::*edit)() const) const {
        return (bar().*edit)()->text().toStdString();
    }
    std::string Title() const { return frame->document()->title().toStdString(); }

    // Start as the user presses it: the link opens off the window thread.
    void Start() const {
        view->OnStart();
        ASSERT_TRUE(PumpUntil([&] { return view->flags().collecting; }));
    }
    // Once the agent answered, runs its whole stream into the view.
    void StreamAll() const {
        ASSERT_TRUE(PumpUntil([&] { return view->controller()->endpoint().started(); }));
        agent->ReleaseStream();
        ASSERT_TRUE(agent->WaitStreamEnded(std::chrono::seconds(10)));
        ASSERT_TRUE(
            PumpUntil([&] { return link->dataBytesDelivered() == agent->streamBytesSent(); }));
    }
    void CollectAll() const {
        Start();
        StreamAll();
    }
    void FinishStop() const {
        ASSERT_TRUE(PumpUntil([&] { return !view->stopPending(); }));
    }
    bool AgentGot(const char* command, int times = 1) const {
        const auto commands = agent->Commands();
        return std::count_if(
                   commands.begin(), commands.end(),
                   [&](const agent::ReceivedCommand& c) { return c.command == command; }) >= times;
    }

private:
    std::shared_ptr<TargetRig> target_;

public:
    TempFolder folder;
    ViewHost& host;
    agent::CollectorAgent* agent;
    link::HostLink* link;
    performance::CPerformanceFrame* frame = nullptr;
    performance::CPerformanceView* view = nullptr;
};

} // namespace zuta::test
