#include "Performance/PerformanceManager.h"

#include "Performance/PerformanceControlBar.h"
#include "Performance/PerformanceDoc.h"
#include "Performance/PerformanceExports.h"
#include "Performance/PerformanceFrame.h"
#include "Performance/PerformanceView.h"
#include "Performance/ResourceSwitch.h"
#include "Performance/WindowPlacement.h"
#include "host/HostWindow.h"
#include "host/Workspace.h"

#include <QCoreApplication>
#include <QVariant>
#include <string>

namespace zuta::performance {

namespace {

CPerformanceManager* gManager = nullptr;

// Room for the task table and its scroll bars until a workspace says otherwise.
constexpr QSize kDefaultFrameSize(760, 480);

class CPerformanceDocTemplate final : public host::IDocumentTemplate {
public:
    std::string_view Name() const override { return kTemplateName; }

    host::WindowHandle OpenNewDocument() override {
        host::IHostWindow* host = HostWindow();
        if (host == nullptr) {
            return nullptr;
        }
        auto* document = new CPerformanceDoc();
        document->OnNewDocument();
        auto* frame = new CPerformanceFrame(document);
        frame->SetView(new CPerformanceView(frame));
        frame->Create(*host);
        host->AddChildFrame(static_cast<QWidget*>(frame));
        frame->resize(kDefaultFrameSize);
        frame->show();
        frame->view()->OnInitialUpdate();
        return static_cast<QWidget*>(frame);
    }
};

CPerformanceFrame* LiveFrame() {
    return gManager != nullptr ? gManager->frame.data() : nullptr;
}

} // namespace

CPerformanceManager::CPerformanceManager() {
    gManager = this;
}

CPerformanceManager::~CPerformanceManager() {
    if (gManager == this) {
        gManager = nullptr;
    }
}

CPerformanceManager* CPerformanceManager::Instance() {
    return gManager;
}

host::IHostWindow* HostWindow() {
    if (QCoreApplication::instance() == nullptr) {
        return nullptr;
    }
    return static_cast<host::IHostWindow*>(
        QCoreApplication::instance()->property(host::kHostWindowProperty).value<void*>());
}

std::unique_ptr<host::IDocumentTemplate> MakeDocumentTemplate() {
    return std::make_unique<CPerformanceDocTemplate>();
}

} // namespace zuta::performance

using zuta::performance::CPerformanceFrame;
using zuta::performance::CPerformanceManager;
using zuta::performance::gManager;

bool Init() {
    if (gManager == nullptr) {
        new CPerformanceManager();
    }
    if (gManager->registered) {
        return true;
    }
    zuta::host::IHostWindow* host = zuta::performance::HostWindow();
    if (host == nullptr) {
        // Nothing to register with; a later Init tries again.
        return true;
    }
    const zuta::performance::CCustomResourceScope resources("PerformanceManager", 58,
                                                            &host->MessageBox());
    host->AddDocumentTemplate(zuta::performance::MakeDocumentTemplate());
    gManager->registered = true;
    return true;
}

void Term() {
    if (gManager == nullptr) {
        return;
    }
    if (CPerformanceFrame* frame = zuta::performance::LiveFrame()) {
        QPointer<CPerformanceFrame> closing(frame);
        frame->close();
        // The host may unload the module right after Term: nothing of it may wait for the event
        // loop, so the frame goes now instead of on its deferred delete.
        delete closing.data();
    }
    delete gManager;
}

bool SaveWorkspace(zuta::host::IWorkspaceMap* map) {
    CPerformanceFrame* frame = zuta::performance::LiveFrame();
    if (frame == nullptr || map == nullptr) {
        return false;
    }
    map->Set(zuta::host::kWorkspaceWindow, "1");
    if (frame->isMaximized()) {
        map->Set(zuta::host::kWorkspacePlacement, "Maximized");
    } else if (frame->isMinimized()) {
        map->Set(zuta::host::kWorkspacePlacement, "Minimized");
    } else {
        map->Set(zuta::host::kWorkspacePlacement, "Normal");
        const QRect rect = frame->normalRect();
        map->Set(zuta::host::kWorkspaceRect,
                 zuta::performance::FormatWindowRect(
                     {rect.x(), rect.y(), rect.x() + rect.width(), rect.y() + rect.height()}));
    }
    return true;
}

void LoadWorkspace(zuta::host::IWorkspaceMap* map) {
    if (gManager == nullptr || map == nullptr) {
        return;
    }
    const std::string* window = map->Find(zuta::host::kWorkspaceWindow);
    if (window == nullptr || *window != "1") {
        return;
    }
    zuta::host::IHostWindow* host = zuta::performance::HostWindow();
    zuta::host::IDocumentTemplate* documentTemplate =
        host != nullptr ? host->FindDocumentTemplate(zuta::performance::kTemplateName) : nullptr;
    if (documentTemplate == nullptr) {
        return;
    }
    auto* frame =
        static_cast<CPerformanceFrame*>(static_cast<QWidget*>(documentTemplate->OpenNewDocument()));
    if (frame == nullptr) {
        return;
    }
    const std::string* placement = map->Find(zuta::host::kWorkspacePlacement);
    if (placement != nullptr && *placement == "Maximized") {
        frame->showMaximized();
    } else if (placement != nullptr && *placement == "Minimized") {
        frame->showMinimized();
    } else {
        frame->showNormal();
        const std::string* rectText = map->Find(zuta::host::kWorkspaceRect);
        const zuta::performance::WindowRect rect =
            zuta::performance::ParseWindowRect(rectText != nullptr ? *rectText : std::string());
        frame->setGeometry(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
        frame->update();
    }
}

void CloseWorkspace() {
    CPerformanceFrame* frame = zuta::performance::LiveFrame();
    if (frame == nullptr) {
        return;
    }
    if (auto* bar = frame->controlBar(); bar != nullptr && bar->parentWidget() != nullptr) {
        bar->parentWidget()->close();
    }
}

const char* ModuleVersion() {
    static const std::string version = zuta::performance::ModuleVersionText();
    return version.c_str();
}
