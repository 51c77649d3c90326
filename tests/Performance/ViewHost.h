#pragma once

#include "Performance/PerformanceControlBar.h"
#include "Performance/PerformanceDoc.h"
#include "Performance/PerformanceFrame.h"
#include "Performance/PerformanceView.h"
#include "QtTestApp.h"
#include "agent/CollectorAgent.h"
#include "host/HostWindow.h"
#include "host/MemorySettingsStore.h"
#include "link/HostLink.h"
#include "settings/PerformanceSettings.h"
#include "support/Recorders.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace zuta::test {

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

// The host window as a view sees it: links to a target when given, a starter of programs when
// given, message boxes and status lines recorded.
class ViewHost final : public host::IHostWindow {
public:
    void DockPane(const host::DockPaneRecord&) override {}
    void AddChildFrame(host::WindowHandle) override {}
    void AddDocumentTemplate(std::unique_ptr<host::IDocumentTemplate>) override {}
    host::IDocumentTemplate* FindDocumentTemplate(std::string_view) override { return nullptr; }
    host::IMessageBox& MessageBox() override { return messageBox; }
    host::IOutputWindow& OutputWindow() override { return output; }
    host::ISettingsStore& SettingsStore() override { return store; }
    host::IProcessLauncher* ProcessLauncher() override { return launcher; }
    host::ICommandLink* CommandLink() override { return link; }
    host::IDataLink* DataLink() override { return link; }
    host::ISenderNameResolver* SenderNameResolver() override { return link; }

    host::MemorySettingsStore store;
    RecordingOutput output;
    RecordingMessageBox messageBox;
    host::IProcessLauncher* launcher = nullptr;
    link::HostLink* link = nullptr;
};

// One document of the module in a host of its own, with the simulated target behind a loopback
// link when asked for (its stream held until released).
struct ViewInHost {
    explicit ViewInHost(bool withTarget = false) {
        TestApplication();
        if (withTarget) {
            agent::AgentOptions options;
            options.speed = 0.0;
            options.duration = 0.3;
            options.holdStream = true;
            agent = std::make_unique<agent::CollectorAgent>(options);
            std::string error;
            if (agent->Start(error)) {
                link = std::make_unique<link::HostLink>(
                    link::TcpLinkOpener("127.0.0.1", agent->port()));
                host.link = link.get();
            }
        }
        // Raw data blocks go to a folder of the test's own.
        PerformanceSettings settings;
        settings.dumpPath = folder.path().string();
        settings.save(host.store);
        auto* document = new performance::CPerformanceDoc();
        document->OnNewDocument();
        frame = new performance::CPerformanceFrame(document);
        view = new performance::CPerformanceView(frame, &host);
        frame->SetView(view);
        frame->Create(host);
        view->OnInitialUpdate();
        RunPostedEvents();
    }
    ~ViewInHost() {
        delete frame;
        if (link)
            link->Close();
    }

    TempFolder folder;
    ViewHost host;
    std::unique_ptr<agent::CollectorAgent> agent;
    std::unique_ptr<link::HostLink> link;
    performance::CPerformanceFrame* frame = nullptr;
    performance::CPerformanceView* view = nullptr;
};

} // namespace zuta::test
