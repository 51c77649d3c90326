#include "Performance/PerformanceFrame.h"

#include "Performance/PerformanceControlBar.h"
#include "Performance/PerformanceDoc.h"
#include "Performance/PerformanceManager.h"
#include "Performance/PerformanceView.h"
#include "Performance/ResourceSwitch.h"
#include "host/HostWindow.h"

#include <QCloseEvent>

namespace zuta::performance {

CPerformanceFrame::CPerformanceFrame(CPerformanceDoc* document) : document_(document) {
    setObjectName(QStringLiteral("ZutaPerformanceFrame"));
    setAttribute(Qt::WA_DeleteOnClose);
    document_->setParent(this);
    setWindowTitle(document_->title());
    connect(document_, &CPerformanceDoc::titleChanged, this, &QWidget::setWindowTitle);
    if (CPerformanceManager* manager = CPerformanceManager::Instance()) {
        manager->frame = this;
    }
}

CPerformanceFrame::~CPerformanceFrame() {
    // The bar lives in the host's dock; its code is the module's, so it goes with the frame
    // rather than whenever the host gets round to deleting the dock.
    delete controlBar_;
}

void CPerformanceFrame::Create(host::IHostWindow& host) {
    const CCustomResourceScope resources("PerformanceFrame", 74, &host.MessageBox());
    if (controlBar_ == nullptr) {
        controlBar_ = new CPerformanceControlBar();
    }
    host.DockPane({controlBar_.data(), "ZUT Tool", true});
}

void CPerformanceFrame::SetView(CPerformanceView* view) {
    view_ = view;
    setWidget(view);
}

void CPerformanceFrame::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    closing_ = true;
    if (CPerformanceManager* manager = CPerformanceManager::Instance();
        manager != nullptr && manager->frame == this) {
        manager->frame = nullptr;
    }
    if (controlBar_ != nullptr) {
        if (QWidget* pane = controlBar_->parentWidget(); pane != nullptr && pane->isVisible()) {
            pane->close();
        }
    }
    QMdiSubWindow::closeEvent(event);
}

void CPerformanceFrame::moveEvent(QMoveEvent* event) {
    QMdiSubWindow::moveEvent(event);
    RememberNormalRect();
}

void CPerformanceFrame::resizeEvent(QResizeEvent* event) {
    QMdiSubWindow::resizeEvent(event);
    RememberNormalRect();
}

void CPerformanceFrame::RememberNormalRect() {
    if ((windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)) == 0) {
        normalRect_ = geometry();
    }
}

} // namespace zuta::performance
