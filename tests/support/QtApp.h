#pragma once
// One QCoreApplication for a test program whose tests need an event loop or timers.

#include <QCoreApplication>

inline void ensureCoreApp() {
    static int argc = 1;
    static char name[] = "quillmot-tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}
