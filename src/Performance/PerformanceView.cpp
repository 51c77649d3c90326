#include "Performance/PerformanceView.h"

#include "Performance/PerformanceControlBar.h"
#include "Performance/PerformanceFrame.h"

namespace zuta::performance {

CPerformanceView::CPerformanceView(CPerformanceFrame* frame) : QWidget(frame), frame_(frame) {
    setObjectName(QStringLiteral("ZutaPerformanceView"));
}

void CPerformanceView::OnInitialUpdate() {
    if (initialUpdateDone_) {
        return;
    }
    initialUpdateDone_ = true;
    if (CPerformanceControlBar* bar = frame_->controlBar()) {
        bar->SetView(this);
    }
}

} // namespace zuta::performance
