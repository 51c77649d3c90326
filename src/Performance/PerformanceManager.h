#pragma once

#include <QObject>
#include <QPointer>
#include <memory>
#include <string_view>

namespace zuta::host {
class IHostWindow;
class IDocumentTemplate;
} // namespace zuta::host

namespace zuta::performance {

class CPerformanceFrame;

// The name the document template is registered under.
inline constexpr std::string_view kTemplateName = "ZUTA";

// One per process, from the first Init to Term.
class CPerformanceManager : public QObject {
    Q_OBJECT
public:
    CPerformanceManager();
    ~CPerformanceManager() override;

    // The manager of the process, null when there is none.
    static CPerformanceManager* Instance();

    bool registered = false;
    QPointer<CPerformanceFrame> frame;
};

// The host main window the module runs in, null when the application has none.
host::IHostWindow* HostWindow();

// The template that builds document, frame and view.
std::unique_ptr<host::IDocumentTemplate> MakeDocumentTemplate();

} // namespace zuta::performance
