#pragma once
// Runs a handler that the event loop calls (a slot, a timer, a tray event) so that no exception
// leaves it: a failing step is reported and dropped, and the next event is served normally.

#include "feedback/Log.h"

template <class Handler> void guarded(const char* what, Handler&& handler) {
    try {
        handler();
    } catch (...) {
        qCWarning(lcGui) << what << "failed:" << currentExceptionText();
    }
}
