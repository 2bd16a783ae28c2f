#pragma once
// One QApplication (on the offscreen platform) for a test program that tests widgets; its other
// tests use it as their event loop too, since a process has only one application object.

#include <QApplication>

inline void ensureGuiApp() {
    static int argc = 1;
    static char name[] = "quillmot-tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QApplication(argc, argv);
    }
}
