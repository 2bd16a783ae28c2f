#pragma once
// One QCoreApplication for a test program whose tests need an event loop or timers.

#include <QCoreApplication>

inline QCoreApplication& ensureCoreApp() {
    static int argc = 1;
    static char name[] = "quillmot-tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app =
        QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    return app ? *app : *QCoreApplication::instance();
}
