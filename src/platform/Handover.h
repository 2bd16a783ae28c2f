#pragma once
// Results handed from a worker thread to the window's thread. What the work holds (a worker's
// result) passes through a lock of this program's own before the window's thread runs it: Qt's
// event queue also orders the two threads, but through locks the thread sanitizer cannot see, so
// a hand-over through it alone looks like a race and hides real ones.

#include <QObject>
#include <QPointer>
#include <functional>

namespace Handover {

// Runs `work` on the application's main thread once its event loop gets to it, unless `context`
// is gone by then. Callable from any thread; `work` must own (or share) all it uses.
void toMainThread(QPointer<QObject> context, std::function<void()> work);

} // namespace Handover
