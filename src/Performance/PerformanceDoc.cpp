#include "Performance/PerformanceDoc.h"

namespace zuta::performance {

CPerformanceDoc::CPerformanceDoc(QObject* parent) : QObject(parent) {}

void CPerformanceDoc::OnNewDocument() {
    SetTitle(QStringLiteral("Zutascope"));
}

void CPerformanceDoc::SetTitle(const QString& title) {
    if (title == title_) {
        return;
    }
    title_ = title;
    emit titleChanged(title_);
}

} // namespace zuta::performance
