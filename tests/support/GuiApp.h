#pragma once
// One QApplication (on the offscreen platform) for a test program that tests widgets; its other
// tests use it as their event loop too, since a process has only one application object.

#include <QApplication>
#include <QTimer>
#include <functional>
#include <memory>

inline void ensureGuiApp() {
    static int argc = 1;
    static char name[] = "quillmot-tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QApplication(argc, argv);
    }
}

// Calls `answer` with the modal dialog of type `Dialog` once the code under test has opened it.
template <class Dialog> void whenShown(std::function<void(Dialog*)> answer) {
    auto step = std::make_shared<std::function<void()>>();
    *step = [answer = std::move(answer), step] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            QTimer::singleShot(10, *step);
            return;
        }
        // The stored step holds itself; letting it go ends the cycle, and the timer's copy
        // that is running keeps what it needs until it returns.
        *step = nullptr;
        answer(dialog);
    };
    QTimer::singleShot(0, *step);
}
