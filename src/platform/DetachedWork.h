#pragma once
// Work that looks at a disk which may not answer (a network share whose server went away), run on
// a thread of its own that nothing ever waits for: the window stays usable, and the exit ends the
// process past a thread that is stuck (endLeavingStuckThreads) instead of waiting for it.

#include <functional>

namespace DetachedWork {

// Runs `work` on a new thread that is never joined. `work` must own (or share) all it uses.
void run(std::function<void()> work);

// Work started and not ended yet; one stuck on a dead disk stays counted.
int underWay();

} // namespace DetachedWork
