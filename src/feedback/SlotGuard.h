#pragma once
// Runs a handler that the event loop calls (a slot, a timer, a tray event) so that no exception
// leaves it: a failing step is reported and dropped, and the next event is served normally.

#include <QtGlobal>
#include <exception>

template <class Handler> void guarded(const char* what, Handler&& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        qWarning("Quillmot: %s failed: %s", what, e.what());
    } catch (...) {
        qWarning("Quillmot: %s failed", what);
    }
}
