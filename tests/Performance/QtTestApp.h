#pragma once

#include <QApplication>

namespace zuta::test {

// The one application object of a test program, made on first use. It is never destroyed: a
// static one would be torn down after the platform plugin it depends on.
inline QApplication& TestApplication() {
    static int argc = 1;
    static char name[] = "zuta-test";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
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
