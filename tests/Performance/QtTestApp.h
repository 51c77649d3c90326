#pragma once

#include <QApplication>
#include <QThreadPool>

namespace zuta::test {

// The one application object of a test program, made on first use. It is never destroyed: a
// static one would be torn down after the platform plugin it depends on.
inline QApplication& TestApplication() {
    static int argc = 1;
    static char name[] = "zuta-test";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        auto* app = new QApplication(argc, argv);
        // Qt's raster engine splits large fills over its thread pool. Qt is not built with the
        // thread sanitizer, which cannot see how the pool's threads hand work over; one pooled
        // thread keeps such handovers between that thread and the window thread only (see
        // scripts/tsan-suppressions.txt).
        QThreadPool::globalInstance()->setMaxThreadCount(1);
        return app;
    }();
    return *application;
}

// Runs the posted events a few rounds, as the host's event loop would between user actions.
inline void RunPostedEvents() {
    for (int round = 0; round < 5; ++round) {
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
    }
}

} // namespace zuta::test
